// SIGTERM and SIGINT reach the handler through the event loop, and close the program from any
// window it can show.
#include "app/unix_signals.h"

#include <signal.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "app/form_book.h"
#include "app/reading_statistics.h"
#include "app/user_settings_window.h"
#include "gui/dialogs.h"
#include "gui/form_rar.h"
#include "settings/form_user_setting.h"
#include "settings/program_settings.h"
#include "stats/form_statistic.h"
#include "support/test_support.h"

namespace lectorix {

namespace {

// Sends SIGTERM to the process as soon as a modal window is up. Should the window outlive the
// signal (the fault), it is closed a few seconds later and named, so the test fails instead of
// waiting for a click for ever.
class TerminateWhenModal : public QObject {
  public:
    TerminateWhenModal() {
        connect(&poll_, &QTimer::timeout, this, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal) return;
            if (sent.isEmpty()) {
                sent = QString::fromUtf8(modal->metaObject()->className()) + " " +
                       modal->windowTitle();
                raise(SIGTERM);
                return;
            }
            if (++waited_ < 300) return;  // 3 s at 10 ms
            outlived = true;
            if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                dialog->reject();
            } else {
                modal->close();
            }
        });
        poll_.start(10);
    }
    QString sent;  // the window the signal was sent over
    bool outlived = false;

  private:
    QTimer poll_;
    int waited_ = 0;
};

}  // namespace

class UnixSignalsTest : public QObject {
    Q_OBJECT

  private:
    int calls_ = 0;
    int depth_ = 0;
    int deepest_ = 0;
    std::function<void()> during_;  // runs inside the handler, once

  private slots:
    void eachSignalCallsOnceOnTheLoopAndWaitsForTheCallBeingHandled() {
        InstallTerminationHandler(this, [this] {
            ++calls_;
            ++depth_;
            deepest_ = std::max(deepest_, depth_);
            if (auto during = std::exchange(during_, nullptr)) during();
            --depth_;
        });
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

    // SIGTERM while a message box was open went unheard until SIGKILL: the nested loop of the
    // box ran the handler, which closed the main window behind the box and nothing more. Every
    // modal window the program shows now closes, its question answered by its default, and so
    // does the program, without adding a bookmark.
    void sigtermClosesTheProgramFromEveryModalWindow() {
        test::TempDir dir;
        const std::string ini = dir.Write("lectorix.ini", "");
        const std::string story = dir.Write("story.txt", test::Story(40));
        struct Case {
            const char* window;
            std::function<void(TFormBook&)> open;
        };
        const Case cases[] = {
            {"QMessageBox Lectorix",
             [](TFormBook& f) { ShowWarning(&f, QStringLiteral("Файл настроек повреждён")); }},
            {"QMessageBox Сохранение",
             [](TFormBook& f) {
                 f.Engine().Session.SessionPages = 1;
                 f.close();  // the bookmark question
             }},
            {"QMessageBox Закладка", nullptr},  // at the start: open the last text?
            {"QFileDialog Открыть", [](TFormBook& f) { f.ActionOpenFileExecute(); }},
            {"QFileDialog Сохранить как", [](TFormBook& f) { f.ActionSaveExecute(); }},
            {"QInputDialog Переход к странице", [](TFormBook& f) { f.ActionGoToPageExecute(); }},
            {"QInputDialog Поиск", [](TFormBook& f) { f.ActionFindExecute(); }},
            {"QDialog Свойства", [](TFormBook& f) { f.ActionUserProperties->trigger(); }},
            {"lectorix::TFormStatistic", [](TFormBook& f) { f.ActionStatistic->trigger(); }},
            {"QDialog О программе", [](TFormBook& f) { f.ActionAboutExecute(); }},
            {"lectorix::TFormRAR Загрузка книги",
             [](TFormBook& f) {
                 // A long load on the window's thread, its progress window up.
                 double now = 0;
                 ProgressWindow progress(&f, [&now] { return now; });
                 progress.ShowProgressWindow(100, QStringLiteral("Загрузка книги"));
                 for (int step = 0; step < 100000 && f.isVisible(); ++step) {
                     now += ProgressWindow::kShowAfterMs;
                     progress.SetProgress(step % 100);
                 }
             }},
        };
        for (const Case& c : cases) {
            ProgramSettings settings;
            settings.SetStore({ini, false});
            TFormBook form(nullptr, [&settings](ReadingEngine& e) {
                settings.LoadUserSettings(e.Settings, e.StepOverhead);
            });
            TFormUserSetting userSetting(&form);
            ConnectUserSettings(form, userSetting, settings);
            ConnectReadingStatistics(form, settings, ShowStatisticWindow);
            int bookmarks = 0, opened = 0, quits = 0;
            form.Seams.AddBookmark = [&bookmarks] { ++bookmarks; };
            form.Seams.OpenBookmark = [&opened](int) { ++opened; };
            InstallCloseOnTermination(form, [&quits] { ++quits; });
            if (!c.open) form.Seams.BookmarkCount = [] { return 1; };
            TerminateWhenModal terminate;
            form.show();
            if (c.open) {
                QVERIFY(QTest::qWaitForWindowExposed(&form));
                QVERIFY(form.LoadOpenedFile(QString::fromStdString(story)));
                c.open(form);
            }
            QTRY_VERIFY2(quits == 1 && !form.isVisible(), c.window);
            QVERIFY2(terminate.sent.startsWith(QString::fromUtf8(c.window)),
                     qPrintable(terminate.sent));
            QVERIFY2(!terminate.outlived, c.window);
            QVERIFY(!QApplication::activeModalWidget());
            QCOMPARE(bookmarks, 0);
            QCOMPARE(opened, 0);
            ResumeDialogs();
        }
    }
};

}  // namespace lectorix

QTEST_MAIN(lectorix::UnixSignalsTest)
#include "unix_signals_test.moc"
