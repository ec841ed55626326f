// Opening a book in the real main window, as "Открыть" does: the file read, converted when it
// is an FB2 or an EPUB (with the progress window), laid out, its contents tree filled and the
// first page painted. Prints the wall and CPU time, whether the progress window showed, the
// contents entries and their deepest level, and the memory before, while open and at its peak.
//
//   open_book_window FILE [RUNS]
#include <QApplication>
#include <QTest>
#include <QTreeView>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <string>

#include "app/bookmarks_window.h"
#include "app/form_book.h"
#include "app/unix_signals.h"
#include "formatter/document_loader.h"
#include "gui/form_rar.h"
#include "settings/program_settings.h"

namespace {

double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// A field of /proc/self/status in megabytes ("VmRSS", "VmHWM").
double StatusMegabytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field + ":", 0) == 0)
            return std::atof(line.c_str() + field.size() + 1) / 1024;
    return 0;
}

// Counts the progress windows shown.
class ProgressWatch : public QObject {
  public:
    int shown = 0;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && qobject_cast<lectorix::TFormRAR*>(watched)) ++shown;
        return false;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: open_book_window FILE [RUNS]\n");
        return 2;
    }
    lectorix::PrepareWindowSystem();
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;

    lectorix::ProgramSettings settings;  // no store: nothing of the user's is read or written
    lectorix::TFormBook form;
    lectorix::ConnectBookmarks(form, settings, lectorix::LoadDocumentBytes);
    form.showMaximized();
    if (!QTest::qWaitForWindowExposed(&form)) return 1;
    form.FormActivate();  // the welcome book
    QCoreApplication::processEvents();
    const double before = StatusMegabytes("VmRSS");
    std::printf("platform %s, before: %.1f MB resident\n",
                qPrintable(QGuiApplication::platformName()), before);

    ProgressWatch watch;
    app.installEventFilter(&watch);
    for (int run = 1; run <= runs; ++run) {
        watch.shown = 0;
        const auto wall0 = std::chrono::steady_clock::now();
        const double cpu0 = CpuMs();
        if (!form.LoadOpenedFile(path)) return 1;
        form.repaint();  // the first page on the screen
        const double wall =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall0)
                .count();
        const double cpu = CpuMs() - cpu0;
        int entries = 0, depth = 0;
        const QAbstractItemModel* model = form.TreeView1->model();
        const std::function<void(const QModelIndex&, int)> walk = [&](const QModelIndex& parent,
                                                                      int level) {
            for (int row = 0; model && row < model->rowCount(parent); ++row) {
                ++entries;
                depth = std::max(depth, level);
                walk(model->index(row, 0, parent), level + 1);
            }
        };
        walk({}, 1);
        QCoreApplication::processEvents();
        std::printf(
            "run %d: %.0f ms (CPU %.0f ms), progress window shown %d time(s), "
            "%d contents entries, %d levels; %.1f MB resident, peak %.1f MB\n",
            run, wall, cpu, watch.shown, entries, depth, StatusMegabytes("VmRSS"),
            StatusMegabytes("VmHWM"));
    }
    return 0;
}
