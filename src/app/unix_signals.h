// What the program asks of the system around its window: window-system choices made before the
// QApplication exists, and SIGTERM and SIGINT as requests to close, answered on the Qt event loop
// rather than inside the signal handler, where almost nothing may be called.
#pragma once

#include <functional>

class QObject;

namespace lectorix {

class TFormBook;

// Window-system choices the page's ticks need, made before the QApplication exists. On X11,
// Qt's shared-memory images make every repaint of a strip just sent wait for the X server to
// finish with it (a round trip per shutter step, about 0.07 ms); a tick's strips are a few
// kilobytes, which the socket carries for less. A value the user set is kept.
void PrepareWindowSystem();

// Makes SIGTERM and SIGINT call `onSignal` on the event loop of `context`'s thread; it stops
// with `context`. Signals that arrive while `onSignal` runs (say, while it asks to save) wait
// and call it once more after it returns. A later call replaces the earlier handler.
void InstallTerminationHandler(QObject* context, std::function<void()> onSignal);

// What SIGTERM and SIGINT do to the program: whatever is open, it closes at once and saves what
// "Выход" saves. Every modal window and menu closes as Esc closes it and every question is
// answered by its default (EndAllDialogs: no bookmark is added); then the main window closes
// without the bookmark question and `quit` ends the event loop, whatever other window is open.
void InstallCloseOnTermination(TFormBook& form, std::function<void()> quit);

}  // namespace lectorix
