// Drives the reading window headless through its keys.
#include "app/form_book.h"

#include <QAction>
#include <QApplication>
#include <QTest>
#include <QTreeWidget>

#include "app/dialogs.h"
#include "app/text_codec.h"
#include "reader/page_painter.h"
#include "timer/qvl_thread_timer.h"

namespace lectorix {

class FormBookTest : public QObject {
    Q_OBJECT

  private:
    static std::string Story(int paragraphs) {
        std::string text;
        for (int i = 0; i < paragraphs; ++i)
            text += ToCp1251(QStringLiteral(
                "Жили-были старик со старухой у самого синего моря; они жили в ветхой землянке "
                "ровно тридцать лет и три года.\r\n"));
        return text;
    }
    static void Key(TFormBook& form, Qt::Key key) { QTest::keyClick(form.Area(), key); }

  private slots:
    void keysDriveTheReader() {
        TFormBook form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.OpenText(Story(30));
        ReadingEngine& e = form.Engine();
        e.Settings.PageStartDelayMs = 0;
        e.Engine.PageDelayTicks = 1;
        QVERIFY(form.Action(ReaderAction::Run)->isEnabled());

        // Enter starts: the start action gives way to stop.
        Key(form, Qt::Key_Return);
        QVERIFY(!form.Action(ReaderAction::Run)->isEnabled());
        QVERIFY(form.Action(ReaderAction::Stop)->isEnabled());
        QVERIFY(form.QvlThreadTimer1().Enabled());
        const int start = e.Engine.ShutterPos;
        QTRY_VERIFY_WITH_TIMEOUT(e.Engine.ShutterPos > start + 2, 10000);

        // Esc pauses; the shutter stands; Enter resumes where it stood.
        Key(form, Qt::Key_Escape);
        QVERIFY(e.Engine.IsPaused);
        QVERIFY(!form.QvlThreadTimer1().Enabled());
        const int paused = e.Engine.ShutterPos;
        QTest::qWait(300);
        QCOMPARE(e.Engine.ShutterPos, paused);
        Key(form, Qt::Key_Return);
        QVERIFY(!e.Engine.IsPaused);
        QTRY_VERIFY_WITH_TIMEOUT(e.Engine.ShutterPos > paused, 10000);
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

        // Up and Down change the speed by 50.
        const int speed = e.Settings.SpeedCpm;
        Key(form, Qt::Key_Up);
        QCOMPARE(e.Settings.SpeedCpm, speed + 50);
        Key(form, Qt::Key_Down);
        QCOMPARE(e.Settings.SpeedCpm, speed);
    }

    void theEndOfATextBringsItBackToPageOne() {
        TFormBook form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.OpenText(Story(6));  // two short pages
        ReadingEngine& e = form.Engine();
        e.Settings.SpeedCpm = 600000;
        e.Settings.PageStartDelayMs = 0;
        e.Settings.AutoSpeedIncrease = false;
        e.Engine.SpeedChangedByUser = true;
        e.RecomputeInterval();
        Key(form, Qt::Key_Return);
        // Both pages read (the count of pages read is never reset), then idle on page 1 again.
        QTRY_VERIFY_WITH_TIMEOUT(
            e.Session.SessionPages >= 2 && e.Page.PageNumber == 1 && !e.Reading(), 30000);
        QCOMPARE(e.Session.SessionPages, 2);
        QCOMPARE(e.Page.PageStart, 0);
        QVERIFY(form.Action(ReaderAction::Run)->isEnabled());
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

    void aDamagedBookIsReportedAndTheOpenTextStays() {
        TFormBook form;
        form.OpenText(Story(10));
        const std::string before = form.Engine().MemoSource.Text();
        QStringList told;
        SetWarningHandler([&](const QString& text) { told << text; });
        std::string book = WelcomeText();
        const size_t totals = book.find("<INFOTEXTlen>|");
        QVERIFY(totals != std::string::npos);
        book[totals + 14] = 'x';
        form.OpenText(book);
        SetWarningHandler({});
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].contains(QStringLiteral("is not a valid integer value")),
                 qPrintable(told[0]));
        QVERIFY(form.Engine().MemoSource.Text() == before);
        QVERIFY(!form.Engine().Page.BookMode);

        // A file that cannot be read is named in the message, and nothing changes either.
        SetWarningHandler([&](const QString& text) { told << text; });
        QVERIFY(!form.OpenFile(QStringLiteral("/nonexistent/книга.txt")));
        SetWarningHandler({});
        QVERIFY(told.last().contains(QStringLiteral("/nonexistent/книга.txt")));
        QVERIFY(form.Engine().MemoSource.Text() == before);
    }

    void thePageShowsTheShuttersWhileReading() {
        TFormBook form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.OpenText(Story(30));
        ReadingEngine& e = form.Engine();
        const QImage idle = form.Painter().Composed().copy();
        const PagePainter& p = form.Painter();
        // Idle: no shutter, the page colour below the first lines.
        QCOMPARE(idle.pixelColor(p.PageWidth / 3, p.PageHeight - p.BottomMargin - 3),
                 PageColors::Page);
        e.Engine.PageDelayTicks = 1000000;  // stand in the page-start delay
        Key(form, Qt::Key_Return);
        const QImage running = form.Painter().Composed();
        // Reading: the bottom shutter covers the lower page.
        QCOMPARE(running.pixelColor(p.PageWidth / 3, p.PageHeight - p.BottomMargin - 3),
                 PageColors::Shutter);
        Key(form, Qt::Key_Escape);
    }
};

}  // namespace lectorix

QTEST_MAIN(lectorix::FormBookTest)
#include "form_book_test.moc"
