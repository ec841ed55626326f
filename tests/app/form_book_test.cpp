// The reading window headless: starting up, opening, pasting, saving, closing, the contents.
#include "app/form_book.h"

#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include "book/text_loader.h"
#include "gui/dialogs.h"
#include "gui/text_codec.h"
#include "support/scripted_dialogs.h"
#include "support/test_support.h"

namespace lectorix {

class FormBookTest : public QObject {
    Q_OBJECT

  private slots:
    void theFirstActivationOpensTheRightText() {
        test::ScriptedDialogs script;
        test::TempDir dir;
        const QString story = QString::fromStdString(dir.Write("сказка.txt", test::Story(3)));
        const QString missing = QStringLiteral("/nonexistent/book.lxb");
        // A missing file is ignored; with bookmarks No opens the welcome book; a file wins.
        for (const auto& [bookmarks, file] : {std::pair{0, missing}, {2, missing}, {0, story}}) {
            TFormBook form;
            int opened = -1;
            form.Seams.BookmarkCount = [n = bookmarks] { return n; };
            form.Seams.OpenBookmark = [&](int line) { opened = line; };
            form.SetCommandLineFile(file);
            script.asked.clear();
            script.answers = {Answer::No};
            form.show();
            const bool welcome = file == missing;
            QTRY_VERIFY(welcome ? form.Engine().Page.BookMode : form.OpenFileName() == story);
            QCOMPARE(form.OpenFileName().isEmpty(), welcome);
            QCOMPARE(script.asked,
                     bookmarks ? QStringList{"Закладка: Открыть последний текст?"} : QStringList{});
            QCOMPARE(opened, -1);
            // Held without the blank lines at its end, as every opened text is.
            if (!welcome)
                QCOMPARE(FromCp1251(form.Engine().MemoSource.Text()),
                         FromCp1251(test::Story(3).substr(0, test::Story(3).size() - 2)));
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
        const long long from = form.Engine().Page.TextPos;
        QVERIFY(from > 0);
        const QString target = QString::fromStdString((dir.Path() / "rest").string());
        script.fileNames = {target};
        form.ActionSaveExecute();
        // Written as the program holds it (CP1251, CR LF), so it reopens as the same text.
        const std::string written = ReadFileBytes(target.toStdString() + ".txt");
        const std::string rest =
            test::Story(40).substr(static_cast<size_t>(from), test::Story(40).size() - 2 - from);
        QCOMPARE(FromCp1251(written), FromCp1251(rest));
        // A cancelled dialog writes nothing.
        form.ActionSaveExecute();
        // Nor through a link into another user's file, as root (which once rewrote it) or not.
        for (const uid_t me : {uid_t{0}, test::kPlainUser}) {
            if (::geteuid() != 0) break;
            const std::string their = dir.Write("their" + std::to_string(me) + ".txt", "theirs");
            test::GiveTo(their, test::kOtherUser);
            const auto link = dir.Path() / ("link" + std::to_string(me) + ".txt");
            std::filesystem::create_symlink(their, link);
            test::GiveTo(link, me);
            test::CaughtWarnings warnings;
            const test::AsUser as(me);
            script.fileNames = {QString::fromStdString(link.string())};
            form.ActionSaveExecute();
            QCOMPARE(warnings.told.size(), 1);
            QVERIFY(warnings.told[0].contains(QStringLiteral("к файлу другого пользователя")));
            QCOMPARE(ReadFileBytes(their), std::string("theirs"));
        }
        // A book has nothing to save.
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

        // An empty clipboard keeps the text that is open.
        test::CaughtWarnings warnings;
        QGuiApplication::clipboard()->clear();
        pasted.ActionPasteExecute();
        QCOMPARE(warnings.told.size(), 1);
        QVERIFY(pasted.Engine().MemoSource.Text() == fromFile.Engine().MemoSource.Text());
    }

    void theWelcomeBookOpensWithItsContentsPanel() {
        TFormBook form;
        // Every button has a picture, from the desktop's theme or the fallback one.
        for (QAction* a : form.ActionList1())
            QVERIFY2(!a->icon().isNull(), qPrintable(a->text()));
        form.resize(1000, 700);
        form.show();
        ReadingEngine& e = form.Engine();
        QTRY_VERIFY(e.Page.BookMode);
        QVERIFY(!form.ActionConvert->isVisible());  // shown only with the access code
        // The contents panel collapses and comes back under the pointer.
        QCOMPARE(form.Panel1->width(), 250);
        QTest::mouseClick(form.SpeedButton1, Qt::LeftButton);
        QCOMPARE(form.Panel1->width(), 10);
        QTest::mouseMove(form.Panel1, QPoint(5, 100));
        QTRY_COMPARE(form.Panel1->width(), 250);
        QTreeWidget* tree = form.TreeView1;
        QCOMPARE(tree->topLevelItemCount(), e.Book.ContentsCount);
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
    }

    // Such a book once showed nothing at all.
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

    void aDamagedBookOrAFileThatIsNoTextIsReportedAndTheOpenTextStays() {
        TFormBook form;
        form.OpenText(test::Story(10));
        const std::string before = form.Engine().MemoSource.Text();
        test::CaughtWarnings warnings;
        const auto refused = [&](const QString& part) {
            QVERIFY2(warnings.told.size() == 1 && warnings.told[0].contains(part),
                     qPrintable(warnings.told.join('\n')));
            QVERIFY(form.Engine().MemoSource.Text() == before);
            warnings.told.clear();
        };
        std::string book = WelcomeText();
        const size_t totals = book.find("<INFOTEXTlen>|");
        QVERIFY(totals != std::string::npos);
        book[totals + 14] = 'x';
        form.OpenText(book);
        refused(QStringLiteral("is not a valid integer value"));
        QVERIFY(!form.Engine().Page.BookMode);
        // An unreadable file is named in the message.
        QVERIFY(!form.LoadOpenedFile(QStringLiteral("/nonexistent/книга.txt")));
        refused(QStringLiteral("/nonexistent/книга.txt"));
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);  // the busy pointer is gone
        // A program or a run of NUL bytes is no text.
        test::TempDir dir;
        QVERIFY(!form.LoadOpenedFile(
            QString::fromStdString(dir.Write("zeros.txt", std::string(1 << 20, '\0')))));
        refused(QStringLiteral("не текстовый файл"));
    }
};

}  // namespace lectorix

QTEST_MAIN(lectorix::FormBookTest)
#include "form_book_test.moc"
