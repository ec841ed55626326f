#include "book/duration.h"

#include <gtest/gtest.h>

namespace lectorix {
namespace {

TEST(FormatDuration, HoursAreUnpaddedNotLimitedToADayAndMillisecondsAreDropped) {
    EXPECT_EQ(FormatDuration(MsToDuration(3723000)), "1:02:03");
    EXPECT_EQ(FormatDuration(MsToDuration((36 * 3600 + 5 * 60 + 9) * 1000LL)), "36:05:09");
    EXPECT_EQ(FormatDuration(MsToDuration(59999)), "0:00:59");  // not rounded up
    // One hour as a day fraction is not exact in binary; it must still show as one hour.
    EXPECT_EQ(FormatDuration(1.0 / 24), "1:00:00");
}

}  // namespace
}  // namespace lectorix
