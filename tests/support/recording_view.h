// A ReaderView that records what the engine asked of it.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "reader/reader_view.h"

namespace lectorix::test {

class RecordingView : public ReaderView {
  public:
    std::string caption;
    std::map<ReaderAction, bool> enabled, shortcut, checked;
    int prepared = 0, fullPaints = 0, partialPaints = 0, statistics = 0;
    bool pointerHidden = false, clockEnabled = false, cpuClockEnabled = false;
    double clockInterval = 100.5;
    std::string tickOverhead;
    std::vector<std::string> warnings;
    std::deque<std::function<void()>> posted;

    void SetCaption(const std::string& utf8) override { caption = utf8; }
    void SetActionEnabled(ReaderAction a, bool on) override { enabled[a] = on; }
    void SetActionShortcut(ReaderAction a, bool on) override { shortcut[a] = on; }
    void SetActionChecked(ReaderAction a, bool on) override { checked[a] = on; }
    void PreparePageLines() override { ++prepared; }
    void PaintPage(bool full) override { ++(full ? fullPaints : partialPaints); }
    void SetPointerHidden(bool hidden) override { pointerHidden = hidden; }
    void SetClockEnabled(bool on) override { clockEnabled = on; }
    void SetClockInterval(double ms) override { clockInterval = ms; }
    double ClockInterval() const override { return clockInterval; }
    void ShowTickOverhead(const std::string& text) override { tickOverhead = text; }
    void SetCpuTestClockEnabled(bool on) override { cpuClockEnabled = on; }
    void ShowReadingStatistics() override { ++statistics; }
    void ShowTextWarning(const std::string& utf8) override { warnings.push_back(utf8); }
    void PostToUi(std::function<void()> call) override;

    // Runs the calls posted so far, as the event loop would.
    void RunPosted();
};

}  // namespace lectorix::test
