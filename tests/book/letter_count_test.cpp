#include "book/letter_count.h"

#include <gtest/gtest.h>

#include <future>

namespace lectorix {
namespace {

TEST(TSrtingConvert, DeliversTheLettersOfTheLengthItWasGivenOnceUnlessAbandoned) {
    // Slices end inside CR LF pairs and words; neither may be lost or counted twice.
    const std::string text = std::string(1499, 'a') + "\r\n" + std::string(3000, 'b') + "tail";
    std::promise<std::int64_t> result;
    std::atomic<int> calls{0};
    {
        TSrtingConvert count(text, text.size() - 4, [&](std::int64_t total) {
            if (calls.fetch_add(1) == 0) result.set_value(total);
        });
        EXPECT_EQ(result.get_future().get(), 4499);
    }
    EXPECT_EQ(calls.load(), 1);

    // An abandoned count never reports its result.
    const std::string big(20 * 1000 * 1000, 'x');
    std::atomic<bool> called{false};
    {
        TSrtingConvert count(big, big.size(), [&](std::int64_t) { called = true; });
        count.Abandon();
        EXPECT_FALSE(called.load());
    }  // the destructor waits for the thread, which stops within a slice
    EXPECT_FALSE(called.load());
    // Destroying counts while they run does not hang either.
    for (int i = 0; i < 5; ++i)
        TSrtingConvert count(big, big.size(), nullptr);
}

}  // namespace
}  // namespace lectorix
