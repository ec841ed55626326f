// Drives the reading window headless through its keys.
#include "app/form_book.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QPaintEvent>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include "app/user_settings_window.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "gui/dialogs.h"
#include "gui/text_codec.h"
#include "reader/page_painter.h"
#include "settings/form_user_setting.h"
#include "settings/program_settings.h"
#include "support/hand_ticks.h"
#include "support/scripted_dialogs.h"
#include "support/test_support.h"
#include "timer/qvl_thread_timer.h"

namespace lectorix {

// Records the rectangles of every paint of a widget.
class PaintRecorder : public QObject {
  public:
    QList<QRect> rects;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            for (const QRect& r : static_cast<QPaintEvent*>(event)->region())
                rects << r;
        return false;
    }
};

class FormBookTest : public QObject {
    Q_OBJECT

  private:
    static void Key(TFormBook& form, Qt::Key key) { QTest::keyClick(form.Area(), key); }

  private slots:
    void theActionsAndToolBarsAtStart() {
        TFormBook form;
        // The reader has laid out its first page, which has no page before it; what needs a
        // running or a stopped reading waits.
        for (QAction* a : {form.ActionSave, form.ActionPause, form.ActionStep, form.ActionStop,
                           form.ActionPageBack})
            QVERIFY2(!a->isEnabled(), qPrintable(a->text()));
        QVERIFY(form.ActionRun->isEnabled());
        for (QAction* a : form.ActionList1()) {
            // Every button has a picture, from the desktop's theme or the fallback one.
            QVERIFY2(!a->icon().isNull(), qPrintable(a->text()));
            QCOMPARE(a->toolTip(), a->statusTip());
        }

        form.resize(1400, 800);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(!form.ActionConvert->isVisible());  // shown only with the access code
        QVERIFY(!form.ToolBar3->isVisible());
        const QWidget* exit = form.ToolBar2->widgetForAction(form.ActionClose);
        QVERIFY(exit->mapTo(&form, QPoint(exit->width(), 0)).x() > form.width() - 20);
        // The design caption is gone: the status line of the welcome book stands there.
        QTRY_VERIFY(form.Engine().Page.BookMode);
        QVERIFY(form.windowTitle() != QStringLiteral("FormBook"));
    }

    void theFirstActivationOpensTheRightText() {
        test::ScriptedDialogs script;
        {
            // A command-line argument that names no file is ignored: the welcome book opens.
            TFormBook form;
            form.SetCommandLineFile(QStringLiteral("/nonexistent/book.lxb"));
            form.show();
            QTRY_VERIFY(form.Engine().Page.BookMode);
            QVERIFY(form.OpenFileName().isEmpty());
            QVERIFY(script.asked.isEmpty());
        }
        {
            // With bookmarks the user is asked; No opens the welcome book.
            TFormBook form;
            int opened = -1;
            form.Seams.BookmarkCount = [] { return 2; };
            form.Seams.OpenBookmark = [&](int line) { opened = line; };
            form.SetCommandLineFile(QStringLiteral("/nonexistent/book.lxb"));
            script.answers = {Answer::No};
            form.show();
            QTRY_VERIFY(form.Engine().Page.BookMode);
            QCOMPARE(script.asked, QStringList{"Закладка: Открыть последний текст?"});
            QCOMPARE(opened, -1);
        }
        {
            // An existing file wins over everything.
            test::TempDir dir;
            const std::string path = dir.Write("сказка.txt", test::Story(3));
            TFormBook form;
            form.SetCommandLineFile(QString::fromStdString(path));
            form.show();
            QTRY_COMPARE(form.OpenFileName(), QString::fromStdString(path));
            // Held without the blank lines at its end, as every opened text is.
            const std::string held = test::Story(3).substr(0, test::Story(3).size() - 2);
            QCOMPARE(FromCp1251(form.Engine().MemoSource.Text()), FromCp1251(held));
        }
    }

    void closingAsksAboutABookmarkOnlyForAFileThatWasRead() {
        test::ScriptedDialogs script;
        test::TempDir dir;
        const std::string path = dir.Write("story.txt", test::Story(10));
        TFormBook form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // Before any page was read to its end: no question.
        QVERIFY(form.LoadOpenedFile(QString::fromStdString(path)));
        QVERIFY(form.close());
        QVERIFY(script.asked.isEmpty());

        // After a page was read, Cancel keeps the window open, Yes adds a bookmark and closes.
        form.show();
        form.Engine().Session.SessionPages = 1;
        int added = 0;
        form.Seams.AddBookmark = [&] { ++added; };
        script.answers = {Answer::Cancel, Answer::Yes};
        QVERIFY(!form.close());
        QCOMPARE(script.asked, QStringList{"Сохранение: Хотите добавить закладку"});
        QVERIFY(form.isVisible());
        QVERIFY(form.close());
        QCOMPARE(added, 1);

        // Nor when the session ends by a signal.
        form.show();
        QVERIFY(form.LoadOpenedFile(QString::fromStdString(path)));
        form.CloseWithoutQuestion();
        QVERIFY(!form.isVisible());
        QCOMPARE(script.asked.size(), 2);
    }

    void savingWritesTheRestOfTheTextFromTheNextPage() {
        test::ScriptedDialogs script;
        test::TempDir dir;
        TFormBook form;
        form.OpenText(test::Story(40));
        QVERIFY(form.ActionSave->isEnabled());
        const long long from = form.Engine().Page.TextPos;
        QVERIFY(from > 0);
        const QString target = QString::fromStdString((dir.Path() / "rest").string());
        script.fileNames = {target};
        form.ActionSaveExecute();
        QCOMPARE(script.filters.last(), QStringLiteral("Текстовый документ (*.txt *.TXT)"));
        // Written as the program holds it (CP1251, CR LF), so it reopens as the same text.
        QFile saved(target + QStringLiteral(".txt"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray bytes = saved.readAll();
        const std::string written(bytes.constData(), static_cast<size_t>(bytes.size()));
        const std::string rest =
            test::Story(40).substr(static_cast<size_t>(from), test::Story(40).size() - 2 - from);
        QCOMPARE(FromCp1251(written), FromCp1251(rest));
        // A cancelled dialog writes nothing; a book has nothing to save.
        form.ActionSaveExecute();
        form.OpenText(WelcomeText());
        QVERIFY(!form.ActionSave->isEnabled());
    }

    void aPastedTextReadsLikeTheSameTextFromAFile() {
        const QString story = QStringLiteral(
            "Жили-были старик со старухой.\nУ самого синего моря — «в землянке».\n\n"
            "Ловил старик неводом рыбу.\n");
        test::TempDir dir;
        const QByteArray utf8 = story.toUtf8();
        const std::string path = dir.Write("story.txt", std::string(utf8.constData(), utf8.size()));
        TFormBook fromFile, pasted;
        QVERIFY(fromFile.LoadOpenedFile(QString::fromStdString(path)));
        QGuiApplication::clipboard()->setText(story);
        pasted.ActionPasteExecute();
        QVERIFY(pasted.Engine().MemoSource.Text() == fromFile.Engine().MemoSource.Text());
        QVERIFY(pasted.Engine().Memo.Lines == fromFile.Engine().Memo.Lines);
        QVERIFY(pasted.Engine().MemoSource.Text().find("\r\n") != std::string::npos);

        // An empty clipboard keeps the text that is open.
        test::CaughtWarnings warnings;
        QGuiApplication::clipboard()->clear();
        pasted.ActionPasteExecute();
        QCOMPARE(warnings.told.size(), 1);
        QVERIFY(pasted.Engine().MemoSource.Text() == fromFile.Engine().MemoSource.Text());
    }

    void theContentsPanelCollapsesAndComesBackUnderThePointer() {
        TFormBook form;
        form.resize(1000, 700);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.Panel1->width(), 250);
        QTest::mouseClick(form.SpeedButton1, Qt::LeftButton);
        QCOMPARE(form.Panel1->width(), 10);
        QTest::mouseMove(form.Panel1, QPoint(5, 100));
        QTRY_COMPARE(form.Panel1->width(), 250);
        // Starting to read collapses it as well.
        form.OpenText(test::Story(30));
        form.Engine().Engine.PageDelayTicks = 1000000;
        form.ActionRun->trigger();
        QCOMPARE(form.Panel1->width(), 10);
        form.ActionPause->trigger();
    }

    void theCpuTestRunsItsFiveLapsAndShowsTheFigure() {
        test::FakeClock clock;
        TFormBook form(nullptr, {}, clock);
        test::HandTicks ticks(form, clock);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.OpenText(test::Story(30));
        // The letter count's caption comes first, so it cannot cover the test's figure.
        QTRY_VERIFY(form.windowTitle().contains(QStringLiteral("Всего знаков")));
        // The figure lands in the store beside whatever else the store holds.
        test::TempDir dir;
        const std::string ini = dir.Write("lectorix.ini", "[UserSetting]\r\nAccess=\r\n");
        ProgramSettings settings;
        settings.SetStore({ini, false});
        TFormUserSetting dialog(&form);
        ConnectUserSettings(form, dialog, settings);
        form.ActionCPUTest->trigger();
        QVERIFY(form.Engine().CpuTestRunning());
        QVERIFY(form.QvlThreadTimerCPUTest().Enabled());
        // Five laps of the page's travel, a twentieth of a millisecond each step.
        QCOMPARE(ticks.RunCpuTest(0.05), 5 * form.Engine().CpuTestLaps);
        QVERIFY(!form.Engine().CpuTestRunning());
        QVERIFY(qAbs(form.Engine().StepOverhead - 0.05) < 1e-3);
        const std::string stored = ReadFileBytes(ini);
        QVERIFY(stored.starts_with("[UserSetting]\r\nAccess=\r\n"));
        QVERIFY2(stored.find("PopravkaSpeed=" + ShortestDecimal(form.Engine().StepOverhead) +
                             "\r\n") != std::string::npos,
                 stored.c_str());
        QVERIFY2(form.windowTitle().startsWith(QStringLiteral("Тест быстродействия: ")),
                 qPrintable(form.windowTitle()));
        QVERIFY(!form.QvlThreadTimerCPUTest().Enabled());
    }

    void keysDriveTheReaderAndTicksRepaintThinStrips() {
        test::FakeClock clock;
        TFormBook form(nullptr, {}, clock);
        test::HandTicks ticks(form, clock);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.OpenText(test::Story(30));
        ReadingEngine& e = form.Engine();
        const PagePainter& p = form.Painter();
        const QPoint low(p.PageWidth / 3, p.PageHeight - p.BottomMargin - 3);
        // Idle: no shutter, the page colour below the first lines.
        QCOMPARE(p.Composed().pixelColor(low), PageColors::Page);
        e.Settings.PageStartDelayMs = 0;
        e.Engine.PageDelayTicks = 1;

        // Enter starts: the start action gives way to stop, the bottom shutter covers the page.
        Key(form, Qt::Key_Return);
        QVERIFY(!form.Action(ReaderAction::Run)->isEnabled());
        QVERIFY(form.Action(ReaderAction::Stop)->isEnabled());
        QVERIFY(form.QvlThreadTimer1().Enabled());
        QCOMPARE(p.Composed().pixelColor(low), PageColors::Shutter);
        const int start = e.Engine.ShutterPos;
        QVERIFY(ticks.TickUntil([&] { return e.Engine.ShutterPos > start + 2; }));

        // A tick repaints only the thin strips a one-pixel step changes.
        PaintRecorder recorder;
        form.Area()->installEventFilter(&recorder);
        const int from = e.Engine.ShutterPos;
        QVERIFY(ticks.TickUntil([&] { return e.Engine.ShutterPos > from + 15; }));
        form.Area()->removeEventFilter(&recorder);
        QVERIFY(!recorder.rects.isEmpty());
        for (const QRect& r : recorder.rects) {
            QVERIFY2(r.height() <= 7, qPrintable(QStringLiteral("%1 rows").arg(r.height())));
            QVERIFY(r.width() <= p.PageWidth);
        }

        // Esc pauses; the shutter stands; Enter resumes where it stood.
        Key(form, Qt::Key_Escape);
        QVERIFY(e.Engine.IsPaused);
        QVERIFY(!form.QvlThreadTimer1().Enabled());
        const int paused = e.Engine.ShutterPos;
        QVERIFY(!ticks.Tick());
        QCOMPARE(e.Engine.ShutterPos, paused);
        Key(form, Qt::Key_Return);
        QVERIFY(!e.Engine.IsPaused);
        QVERIFY(ticks.TickUntil([&] { return e.Engine.ShutterPos > paused; }));
        QVERIFY(e.Engine.ShutterPos < paused + 100);

        // Enter while reading stops.
        Key(form, Qt::Key_Return);
        QVERIFY(e.Engine.IsStopped);
        QVERIFY(form.Action(ReaderAction::Run)->isEnabled());

        // Right and Left turn pages and leave the reader idle.
        Key(form, Qt::Key_Right);
        QCOMPARE(e.Page.PageNumber, 2);
        QVERIFY(!e.Reading());
        QVERIFY(!form.QvlThreadTimer1().Enabled());
        Key(form, Qt::Key_Left);
        QCOMPARE(e.Page.PageNumber, 1);
        QCOMPARE(e.Page.PageStart, 0);

        // Down lowers the speed by 50 (Up is checked with the speed shown on the page).
        const int speed = e.Settings.SpeedCpm;
        Key(form, Qt::Key_Down);
        QCOMPARE(e.Settings.SpeedCpm, speed - 50);
    }

    void theWelcomeBookOpensWithItsContents() {
        TFormBook form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.OpenText(WelcomeText());
        ReadingEngine& e = form.Engine();
        QVERIFY(e.Page.BookMode);
        QTreeWidget* tree = form.TreeView1;
        QCOMPARE(tree->topLevelItemCount(), e.Book.ContentsCount);
        QCOMPARE(tree->topLevelItem(1)->text(0).left(19), QStringLiteral("Тест быстродействия"));
        // A click on each entry shows its section on the entry's page.
        for (int i = tree->topLevelItemCount() - 1; i >= 0; --i) {
            QTreeWidgetItem* item = tree->topLevelItem(i);
            tree->scrollToItem(item);
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                              tree->visualItemRect(item).center());
            const auto& entry = e.Book.ContentsEntries[static_cast<size_t>(i)];
            QCOMPARE(e.Page.PageNumber, entry.Page);
            QVERIFY(item->text(0).startsWith(FromCp1251(entry.Title)));
            // The heading opens the page (a long one runs on to the next line).
            QVERIFY(FromCp1251(entry.Title).startsWith(FromCp1251(e.Memo.Lines[0]).simplified()));
        }
        QVERIFY(form.Action(ReaderAction::Run)->isEnabled());
    }

    void aBookOfAHundredThousandEntriesShowsItsFirstChapterAndItsContents() {
        std::string body, trailer;
        const int n = 100000;
        for (int i = 0; i < n; ++i) {
            std::string entry =
                "   H" + std::to_string(i) + "|" + std::to_string(body.size()) + "|0|";
            for (int k = 0; k < 38; ++k)
                entry += std::to_string(2 * i) + "|";
            trailer += entry + "\r\n";
            body += "   H" + std::to_string(i) + "\r\n  chapter te\r\n";
        }
        body.resize(body.size() - 2);
        std::string totals = "<INFOTEXTlen>|" + std::to_string(body.size() + 2) + "|0|";
        for (int k = 0; k < 38; ++k)
            totals += std::to_string(2 * n) + "|";
        TFormBook form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.OpenText(body + "\r\n<MENU>\r\n" + trailer + totals + "\r\n<INFOTEXTEND>");
        ReadingEngine& e = form.Engine();
        QVERIFY(e.Page.BookMode);
        QCOMPARE(form.TreeView1->topLevelItemCount(), n);
        QVERIFY(!e.Memo.Lines.empty());
        QCOMPARE(FromCp1251(e.Memo.Lines[0]).trimmed(), QStringLiteral("H0"));
        QCOMPARE(e.Text.TotalPages, n);
    }

    void aDamagedBookIsReportedAndTheOpenTextStays() {
        TFormBook form;
        form.OpenText(test::Story(10));
        const std::string before = form.Engine().MemoSource.Text();
        test::CaughtWarnings warnings;
        const QStringList& told = warnings.told;
        std::string book = WelcomeText();
        const size_t totals = book.find("<INFOTEXTlen>|");
        QVERIFY(totals != std::string::npos);
        book[totals + 14] = 'x';
        form.OpenText(book);
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].contains(QStringLiteral("is not a valid integer value")),
                 qPrintable(told[0]));
        QVERIFY(form.Engine().MemoSource.Text() == before);
        QVERIFY(!form.Engine().Page.BookMode);

        // A file that cannot be read is named in the message, and nothing changes either.
        QVERIFY(!form.LoadOpenedFile(QStringLiteral("/nonexistent/книга.txt")));
        QCOMPARE(told.size(), 2);
        QVERIFY(told.last().contains(QStringLiteral("/nonexistent/книга.txt")));
        QVERIFY(form.Engine().MemoSource.Text() == before);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);  // the busy pointer is gone

        // A program or a run of NUL bytes is no text: refused, the open text kept.
        test::TempDir dir;
        QVERIFY(!form.LoadOpenedFile(
            QString::fromStdString(dir.Write("zeros.txt", std::string(1 << 20, '\0')))));
        QVERIFY(told.last().contains(QStringLiteral("не текстовый файл")));
        QCOMPARE(told.size(), 3);
        QVERIFY(form.Engine().MemoSource.Text() == before);
    }
};

}  // namespace lectorix

QTEST_MAIN(lectorix::FormBookTest)
#include "form_book_test.moc"
