// What the reading engine needs from the window that shows it. The engine never touches a
// widget; the main window implements this, tests replace it with a recorder.
#pragma once

#include <functional>
#include <string>

namespace lectorix {

enum class ReaderAction { Run, Pause, Step, Stop, PageBack, PageNext, Save, ZakladkaAdd };

class ReaderView {
  public:
    virtual ~ReaderView() = default;

    virtual void SetCaption(const std::string& utf8) = 0;
    virtual void SetActionEnabled(ReaderAction action, bool enabled) = 0;
    // Only the start action loses its short-cut (Enter) while reading, so that Enter stops.
    virtual void SetActionShortcut(ReaderAction action, bool on) = 0;
    virtual void SetActionChecked(ReaderAction action, bool checked) = 0;

    // Render the page bitmaps from the page's lines (once per page).
    virtual void PreparePageLines() = 0;
    // Paint the whole page, or only the strips that a one-pixel step changes.
    virtual void PaintPage(bool full) = 0;
    virtual void SetPointerHidden(bool hidden) = 0;

    // The reading clock.
    virtual void SetClockEnabled(bool enabled) = 0;
    virtual void SetClockInterval(double ms) = 0;
    virtual double ClockInterval() const = 0;

    // Collapse the contents panel when reading starts.
    virtual void CollapseContents() {}
    // The CPU test's own clock: no sleep between ticks, ticks on the user-interface thread.
    virtual void SetCpuTestClockEnabled(bool /*enabled*/) {}
    // The measured tick overhead, for the hidden developer label.
    virtual void ShowTickOverhead(const std::string& /*text*/) {}
    // A message box: something the user must know about the text just opened.
    virtual void ShowTextWarning(const std::string& /*utf8*/) {}
    // The reading statistics at the end of a text.
    virtual void ShowReadingStatistics() {}
    // Run `call` on the user-interface thread later (the letter count ends on its own thread).
    virtual void PostToUi(std::function<void()> call) = 0;
};

}  // namespace lectorix
