// SIGTERM and SIGINT as requests to close, answered on the Qt event loop rather than inside the
// signal handler, where almost nothing may be called.
#pragma once

#include <functional>

class QObject;

namespace lectorix {

// Makes SIGTERM and SIGINT call `onSignal` on the event loop of `context`'s thread; it stops
// with `context`. Signals that arrive while `onSignal` runs (say, while it asks to save) wait
// and call it once more after it returns. A later call replaces the earlier handler.
void InstallTerminationHandler(QObject* context, std::function<void()> onSignal);

}  // namespace lectorix
