#include "book/letter_count.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <string_view>

#include "book/text_helpers.h"

namespace lectorix {

TSrtingConvert::TSrtingConvert(std::shared_ptr<const std::string> text, size_t length,
                               EndHandler onEnd)
    : text_(std::move(text)), length_(std::min(length, text_->size())), onEnd_(std::move(onEnd)) {
    thread_ = std::thread([this] { Run(); });
}

TSrtingConvert::~TSrtingConvert() {
    Abandon();
    if (thread_.joinable()) thread_.join();
}

void TSrtingConvert::Abandon() {
    stop_.store(true);
    std::lock_guard lock(handlerMutex_);
    abandoned_ = true;
}

void TSrtingConvert::Run() {
    // SCHED_IDLE: the count only uses time nothing else wants. Lowering is always allowed.
    sched_param param{};
    param.sched_priority = 0;
    idle_.store(pthread_setschedparam(pthread_self(), SCHED_IDLE, &param) == 0);

    const std::string_view text = *text_;
    std::int64_t total = 0;
    for (size_t pos = 0; pos < length_ && !stop_.load(std::memory_order_relaxed); pos += kSlice)
        total += CountLetters(text.substr(pos, std::min(kSlice, length_ - pos)));

    std::lock_guard lock(handlerMutex_);
    if (!abandoned_ && !stop_.load() && onEnd_) onEnd_(total);
    finished_.store(true);
}

}  // namespace lectorix
