// SIGTERM and SIGINT reach the handler through the event loop.
#include "app/unix_signals.h"

#include <signal.h>

#include <QCoreApplication>
#include <QTest>
#include <algorithm>
#include <utility>

namespace lectorix {

class UnixSignalsTest : public QObject {
    Q_OBJECT

  private:
    int calls_ = 0;
    int depth_ = 0;
    int deepest_ = 0;
    std::function<void()> during_;  // runs inside the handler, once

  private slots:
    void initTestCase() {
        InstallTerminationHandler(this, [this] {
            ++calls_;
            ++depth_;
            deepest_ = std::max(deepest_, depth_);
            if (auto during = std::exchange(during_, nullptr)) during();
            --depth_;
        });
    }

    void eachSignalCallsOnceOnTheLoopAndWaitsForTheCallBeingHandled() {
        raise(SIGTERM);
        // The signal handler only writes a byte; the call itself waits for the loop.
        QCOMPARE(calls_, 0);
        QTRY_COMPARE(calls_, 1);
        raise(SIGINT);
        QTRY_COMPARE(calls_, 2);
        QCoreApplication::processEvents();
        QCOMPARE(calls_, 2);

        // The handler asks the user something: a nested loop runs while it waits, and the
        // signals that come meanwhile make one call after it, not one inside it.
        during_ = [] {
            raise(SIGTERM);
            raise(SIGTERM);
            for (int i = 0; i < 20; ++i)
                QCoreApplication::processEvents();
        };
        raise(SIGINT);
        QTRY_COMPARE(calls_, 4);
        QCOMPARE(deepest_, 1);
    }
};

}  // namespace lectorix

QTEST_GUILESS_MAIN(lectorix::UnixSignalsTest)
#include "unix_signals_test.moc"
