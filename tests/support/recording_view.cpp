#include "support/recording_view.h"

#include <mutex>

namespace lectorix::test {
namespace {
std::mutex postedMutex;
}

void RecordingView::PostToUi(std::function<void()> call) {
    std::lock_guard lock(postedMutex);
    posted.push_back(std::move(call));
}

void RecordingView::RunPosted() {
    std::deque<std::function<void()>> calls;
    {
        std::lock_guard lock(postedMutex);
        calls.swap(posted);
    }
    for (auto& c : calls)
        c();
}

}  // namespace lectorix::test
