// What the program asks of the system around its window: window-system choices made before the
// QApplication exists, and SIGTERM and SIGINT as requests to close, answered on the Qt event loop
// rather than inside the signal handler, where almost nothing may be called.
#pragma once

#include <functional>

class QObject;

namespace lectorix {

// Window-system choices the page's ticks need, made before the QApplication exists. On X11,
// Qt's shared-memory images make every repaint of a strip just sent wait for the X server to
// finish with it (a round trip per shutter step, about 0.07 ms); a tick's strips are a few
// kilobytes, which the socket carries for less. A value the user set is kept.
void PrepareWindowSystem();

// Makes SIGTERM and SIGINT call `onSignal` on the event loop of `context`'s thread; it stops
// with `context`. Signals that arrive while `onSignal` runs (say, while it asks to save) wait
// and call it once more after it returns. A later call replaces the earlier handler.
void InstallTerminationHandler(QObject* context, std::function<void()> onSignal);

}  // namespace lectorix
