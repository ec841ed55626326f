// The CPU test of the real main window, as the user runs it from "Настройки": prints the cost
// of a shutter step it measures, in milliseconds. A plain program, since the figure is the
// program's own measurement of itself; run it headless (QT_QPA_PLATFORM=offscreen) or on a
// display to compare the two.
//
//   cpu_test_figure [RUNS]
#include <QAction>
#include <QApplication>
#include <QTest>

#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "app/form_book.h"
#include "app/unix_signals.h"

int main(int argc, char** argv) {
    lectorix::PrepareWindowSystem();
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    lectorix::TFormBook form;
    form.showMaximized();
    if (!QTest::qWaitForWindowExposed(&form)) return 1;
    form.FormActivate();  // the first activation opens the welcome book
    std::printf("platform %s\n", qPrintable(QGuiApplication::platformName()));
    for (int run = 0; run < runs; ++run) {
        form.ActionCPUTest->trigger();
        while (form.Engine().CpuTestRunning())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        std::printf("run %d: %.4f ms a step (%d steps)\n", run + 1, form.Engine().StepOverhead,
                    5 * form.Engine().CpuTestLaps);
    }
    return 0;
}
