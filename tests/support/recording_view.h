// A ReaderView that records what the engine asked of it.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "reader/reader_view.h"

namespace lectorix::test {

class RecordingView : public ReaderView {
  public:
    std::string caption;
    int statistics = 0;
    bool pointerHidden = false, clockEnabled = false;
    double clockInterval = 100.5;
    std::vector<std::string> warnings;
    std::deque<std::function<void()>> posted;

    void SetCaption(const std::string& utf8) override { caption = utf8; }
    void SetPointerHidden(bool hidden) override { pointerHidden = hidden; }
    void SetClockEnabled(bool on) override { clockEnabled = on; }
    void SetClockInterval(double ms) override { clockInterval = ms; }
    double ClockInterval() const override { return clockInterval; }
    void ShowReadingStatistics() override { ++statistics; }
    void ShowTextWarning(const std::string& utf8) override { warnings.push_back(utf8); }
    // What no test reads.
    void SetActionEnabled(ReaderAction, bool) override {}
    void SetActionShortcut(ReaderAction, bool) override {}
    void SetActionChecked(ReaderAction, bool) override {}
    void PreparePageLines() override {}
    void PaintPage(bool) override {}
    void PostToUi(std::function<void()> call) override;

    // Runs the calls posted so far, as the event loop would.
    void RunPosted();
};

}  // namespace lectorix::test
