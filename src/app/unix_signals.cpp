#include "app/unix_signals.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <QtGlobal>
#include <cerrno>
#include <cstring>

#include "app/form_book.h"
#include "gui/dialogs.h"

namespace lectorix {
namespace {

// The pair lives as long as the process: a signal may come at any moment, even while a handler
// is being replaced, and its write end must stay valid.
int g_readFd = -1;
volatile sig_atomic_t g_writeFd = -1;

QPointer<QSocketNotifier> g_notifier;

extern "C" void OnTerminationSignal(int) {
    const int savedErrno = errno;
    const char byte = 1;
    // Non-blocking: when the socket is full a wake-up is already waiting, so the byte may go.
    [[maybe_unused]] const ssize_t written = ::write(g_writeFd, &byte, 1);
    errno = savedErrno;
}

bool OpenPair() {
    if (g_readFd >= 0) return true;
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0) {
        qWarning("Lectorix: socketpair failed: %s", std::strerror(errno));
        return false;
    }
    g_writeFd = fds[0];
    g_readFd = fds[1];
    return true;
}

// Empties the socket; true when at least one signal had come.
bool Drain() {
    char buffer[64];
    bool any = false;
    for (;;) {
        const ssize_t n = ::read(g_readFd, buffer, sizeof buffer);
        if (n > 0) {
            any = true;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return any;
    }
}

}  // namespace

void PrepareWindowSystem() {
    if (qEnvironmentVariableIsEmpty("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
}

void InstallTerminationHandler(QObject* context, std::function<void()> onSignal) {
    if (!OpenPair()) return;
    if (g_notifier) {
        // It may be the one whose handler is running now, so it goes later but is silent at once.
        g_notifier->setEnabled(false);
        g_notifier->deleteLater();
    }
    auto* notifier = new QSocketNotifier(g_readFd, QSocketNotifier::Read, context);
    g_notifier = notifier;
    QObject::connect(notifier, &QSocketNotifier::activated, context,
                     [notifier, onSignal = std::move(onSignal)] {
                         if (!Drain()) return;
                         // No second call from inside the first: the notifier rests while the
                         // handler runs (it may spin a nested event loop) and picks up the
                         // signals that came meanwhile when it is back on.
                         const QPointer<QSocketNotifier> alive(notifier);
                         notifier->setEnabled(false);
                         const std::function<void()> handler = onSignal;
                         if (handler) handler();
                         if (alive && alive == g_notifier) alive->setEnabled(true);
                     });

    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT}) {
        if (::sigaction(signal, &action, nullptr) != 0)
            qWarning("Lectorix: sigaction(%d) failed: %s", signal, std::strerror(errno));
    }
}

void InstallCloseOnTermination(TFormBook& form, std::function<void()> quit) {
    InstallTerminationHandler(&form, [&form, quit = std::move(quit)] {
        EndAllDialogs();
        // After the loops of the windows just closed have returned, or while they return: the
        // closing question, if it was open, has been answered No by then.
        QTimer::singleShot(0, &form, [&form, quit] {
            form.CloseWithoutQuestion();
            if (quit) quit();
        });
    });
}

}  // namespace lectorix
