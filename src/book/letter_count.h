// Counting the letters of a whole plain text in the background.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace lectorix {

// Counts the letters of a text it shares with the reader (never copied: texts may be hundreds of
// megabytes) on a thread of the lowest priority the system
// gives, 1500 characters at a time, and hands the total to its end handler once. A count that
// was abandoned never calls its handler.
class TSrtingConvert {
  public:
    using EndHandler = std::function<void(std::int64_t total)>;
    static constexpr size_t kSlice = 1500;

    // Starts counting the first `length` characters of `text` at once.
    TSrtingConvert(std::shared_ptr<const std::string> text, size_t length, EndHandler onEnd);
    TSrtingConvert(std::string text, size_t length, EndHandler onEnd)
        : TSrtingConvert(std::make_shared<const std::string>(std::move(text)), length,
                         std::move(onEnd)) {}
    // Abandons the count and waits for the thread, which stops within one slice.
    ~TSrtingConvert();
    TSrtingConvert(const TSrtingConvert&) = delete;
    TSrtingConvert& operator=(const TSrtingConvert&) = delete;

    // After this returns the end handler is not running and will never run.
    void Abandon();
    bool Finished() const { return finished_.load(); }
    // Whether the worker thread really got the idle scheduling class.
    bool RunsAtIdlePriority() const { return idle_.load(); }

  private:
    void Run();

    std::shared_ptr<const std::string> text_;
    size_t length_;
    EndHandler onEnd_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> idle_{false};
    std::mutex handlerMutex_;
    bool abandoned_ = false;
    std::thread thread_;
};

}  // namespace lectorix
