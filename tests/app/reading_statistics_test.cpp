// The diary in the program: a text read to its end shows the session's statistics, and the
// session reaches the store however the program ends; the table exercise's times reach it too.
#include "app/reading_statistics.h"

#include <signal.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <memory>

#include "app/exercises_window.h"
#include "app/form_book.h"
#include "app/unix_signals.h"
#include "book/duration.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "exercises/form_line.h"
#include "exercises/form_tables.h"
#include "settings/program_settings.h"
#include "stats/form_statistic.h"
#include "stats/table_chart.h"
#include "support/hand_ticks.h"
#include "support/modal_window.h"
#include "support/test_support.h"
#include "timer/qvl_thread_timer.h"

namespace lectorix {

constexpr DiaryDate kToday{7, 12, 2026};

class ReadingStatisticsTest : public QObject {
    Q_OBJECT

    // The main window on a store of the test's own, reading a short text fast on fake time.
    struct Program {
        test::TempDir dir;
        std::string ini = (dir.Path() / "lectorix.ini").string();
        ProgramSettings settings;
        test::FakeClock clock;
        std::unique_ptr<TFormBook> form = std::make_unique<TFormBook>(nullptr, nullptr, clock);
        test::HandTicks ticks{*form, clock};

        Program() {
            settings.SetStore({ini, false});
            ConnectReadingStatistics(*form, settings, ShowStatisticWindow, [] { return kToday; });
            form->show();
            QVERIFY(QTest::qWaitForWindowExposed(form.get()));
            form->OpenText(test::Story(6));  // two short pages
            ReadingEngine& e = form->Engine();
            e.Settings.SpeedCpm = 600000;
            e.Settings.PageStartDelayMs = 0;
            e.Settings.AutoSpeedIncrease = false;
            e.Engine.SpeedChangedByUser = true;
            e.RecomputeInterval();
        }
        // Today's line as the store holds it.
        std::string Today() {
            ProgramSettings other;
            other.SetStore({ini, false});
            const Diary d = RestoreDiary(other);
            return d.Days.empty() ? std::string() : d.Days.front();
        }
    };

    static QStringList Items(QListWidget* box) {
        QStringList items;
        for (int i = 0; i < box->count(); ++i)
            items << box->item(i)->text();
        return items;
    }

  private slots:
    void theEndOfATextShowsTheSessionThenPageOneAndTheReportsAreFreshEachTime() {
        Program p;
        ReadingEngine& e = p.form->Engine();
        QStringList session, byDate, book;
        // The window is modal; it is read and closed from inside its own loop.
        const auto read = [&](TFormStatistic& window) {
            session = Items(window.ListBox1);
            byDate = Items(window.ListBox4);
            book = Items(window.ListBox5);
            QTest::mouseClick(window.OKBtn, Qt::LeftButton);
        };
        p.form->ActionRun->trigger();
        int shown = test::AnswerModal<TFormStatistic>(
            [&] { p.ticks.TickUntil([&] { return !e.Reading(); }); }, read);
        QVERIFY(shown == 1 && e.Page.PageNumber == 1 && !e.Reading());
        QVERIFY2(session.contains(QStringLiteral("Прочитано страниц:               2")),
                 qPrintable(session.join('\n')));
        QVERIFY(byDate.size() == 4 && byDate[3].startsWith(QStringLiteral("07.12.2026")));
        // The text started again as a new one, so the session went to the store.
        const std::string today = p.Today();
        QVERIFY2(today.starts_with("07.12.2026|") && today != "07.12.2026|0|0|", today.c_str());
        QCOMPARE(e.Session.SessionChars, 0);

        // Three pages of a longer text: the action shows this session, and pages left, which a
        // plain text estimates from its sixth page, never as 0 while letters are left, as it once
        // did.
        e.Settings.SpeedCpm = 1500;
        p.form->OpenText(test::Story(60));
        QTRY_VERIFY(e.Page.TotalLetters > 0);
        p.form->ActionRun->trigger();
        QVERIFY(p.ticks.TickUntil([&] { return e.Session.SessionPages >= 3; }));
        QCOMPARE(e.Engine.PagesLeft, -1);
        shown =
            test::AnswerModal<TFormStatistic>([&] { p.form->ActionStatistic->trigger(); }, read);
        QCOMPARE(shown, 1);
        QVERIFY(session.contains(QStringLiteral("Прочитано страниц:               3")));
        const QString left =
            QStringLiteral("Осталось страниц:                %1")
                .arg(RoundHalfEven(double(e.Text.LettersToRead) * (e.Page.PageNumber - 1) /
                                   e.Text.LettersBefore));
        QVERIFY2(session.contains(left), qPrintable(session.join('\n')));
        QVERIFY(book.contains(left));
    }

    // "Таблицы" pauses the reading, and a table the user finishes goes into the store and the
    // statistics window's last tab.
    void aTableFinishedInTheExerciseShowsInTheTablesTab() {
        Program p;
        ReadingEngine& e = p.form->Engine();
        RandomGenerator random;
        TFormTables tables(p.form.get(), random, [&p] { return p.clock.Now() * kMsPerDay; });
        ConnectTableExercise(*p.form, tables, p.settings, [] { return kToday; });
        p.form->ActionRun->trigger();
        const int top = e.Engine.ShutterPos;
        QVERIFY(p.ticks.TickUntil([&] { return e.Engine.ShutterPos > top + 3; }));
        const int shutter = e.Engine.ShutterPos;
        const int page = e.Page.PageNumber;
        const int shown = test::AnswerModal<TFormTables>([&] { p.form->ActionTables->trigger(); },
                                                         [&](TFormTables& w) {
                                                             QVERIFY(!e.Reading());
                                                             p.clock.AdvanceMs(37400);
                                                             QTest::keyRelease(&w, Qt::Key_Return);
                                                             QTest::keyRelease(&w, Qt::Key_Escape);
                                                             QVERIFY(!w.isVisible());
                                                         });
        QCOMPARE(shown, 1);
        QVERIFY(!e.Reading() && e.Engine.ShutterPos == shutter && e.Page.PageNumber == page);
        QVERIFY(p.form->ActionRun->isEnabled());  // Enter resumes

        QList<QPointF> best;
        test::AnswerModal<TFormStatistic>([&] { p.form->ActionStatistic->trigger(); },
                                          [&](TFormStatistic& window) {
                                              QCOMPARE(window.PageControl1->tabText(8),
                                                       QStringLiteral("Таблицы"));
                                              best = window.Chart4->SeriesBest->points();
                                          });
        QCOMPARE(best.size(), 1);
        QCOMPARE(best[0].y(), 37.4);
    }

    // "Слова" leaves a running reading alone: it goes on once the exercise is closed with Esc.
    void theWordExerciseRunsOverARunningReading() {
        Program p;
        ReadingEngine& e = p.form->Engine();
        RandomGenerator random;
        TFormLine line(p.form.get(), random);
        ConnectWordExercise(*p.form, line);
        line.QvlThreadTimer2().SetOnTimer({});
        p.form->OpenText(test::Story(60));  // no page ends in the few ticks read
        e.Settings.SpeedCpm = 20000;
        e.RecomputeInterval();
        p.form->ActionRun->trigger();
        const int top = e.Engine.ShutterPos;
        QVERIFY(p.ticks.TickUntil([&] { return e.Engine.ShutterPos > top + 3; }));
        const int shutter = e.Engine.ShutterPos;
        const int shown = test::AnswerModal<TFormLine>(
            [&] { p.form->ActionWords->trigger(); },
            [&](TFormLine& w) {
                QVERIFY(e.Reading());
                QCOMPARE(w.LabelWord->font().pointSize(), p.form->Painter().FontSize);
                w.ActionStart->trigger();
                w.QvlThreadTimer2Timer();
                QCOMPARE(w.LabelWord->text().size(), 6);
                QTest::keyClick(&w, Qt::Key_Escape);
                QVERIFY(!w.isVisible() && !w.QvlThreadTimer2().Enabled());
            });
        QCOMPARE(shown, 1);
        QVERIFY(e.Reading() && e.Engine.ShutterPos == shutter);
        QVERIFY(p.ticks.Tick() && e.Engine.ShutterPos == shutter + 1);
    }

    void closingAndTerminationRecordTheSession() {
        for (const bool bySignal : {false, true}) {
            Program p;
            ReadingEngine& e = p.form->Engine();
            // Pages of a second or so, and many of them: the signal comes mid-reading.
            p.form->OpenText(test::Story(60));
            e.Settings.SpeedCpm = 20000;
            e.Engine.SpeedChangedByUser = true;
            e.RecomputeInterval();
            p.form->ActionRun->trigger();
            QVERIFY(p.ticks.TickUntil([&] { return e.Session.SessionPages >= 1; }));
            const std::int64_t letters = e.Session.SessionChars;
            QVERIFY(letters > 0);
            if (bySignal) {
                TFormBook* form = p.form.get();
                InstallTerminationHandler(form, [form] { form->CloseWithoutQuestion(); });
                QVERIFY(e.Reading());
                raise(SIGTERM);
                QTRY_VERIFY(!p.form->isVisible());
            } else {
                p.form->close();
            }
            p.form.reset();  // the program's end
            const std::string today = p.Today();
            QVERIFY2(today.starts_with("07.12.2026|" + std::to_string(letters) + "|"),
                     today.c_str());
        }
    }
};

}  // namespace lectorix

QTEST_MAIN(lectorix::ReadingStatisticsTest)
#include "reading_statistics_test.moc"
