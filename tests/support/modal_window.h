// Answering a modal window of the program's own (one it shows with exec, not through the dialog
// seam) from inside its event loop.
#pragma once

#include <functional>

class QWidget;

namespace lectorix::test {

// Runs `open`; each modal window shown meanwhile is handed to `answer` once its event loop runs,
// to read and close it; `answer` returns false for a window that is not the one it waits for.
// A window still open afterwards is closed, so neither a failed check inside `answer` nor an
// unexpected window leaves the test waiting for a click. Returns how many windows `answer` took:
// 0 says the window never appeared.
int AnswerModalWindows(const std::function<void()>& open,
                       const std::function<bool(QWidget& window)>& answer);

// The same for windows of type W only.
template <class W>
int AnswerModal(const std::function<void()>& open, const std::function<void(W&)>& answer) {
    return AnswerModalWindows(open, [&answer](QWidget& window) {
        auto* w = dynamic_cast<W*>(&window);
        if (!w) return false;
        answer(*w);
        return true;
    });
}

}  // namespace lectorix::test
