// Bookmarks and archives in the real main window: a book read to a page, bookmarked, the
// program closed and started again comes back exactly; the menu; archives opened or refused.
#include "app/bookmarks_window.h"

#include <QAction>
#include <QMenu>
#include <QTest>
#include <filesystem>
#include <tuple>

#include "app/form_book.h"
#include "book/text_loader.h"
#include "formatter/book_writer.h"
#include "formatter/document_loader.h"
#include "gui/text_codec.h"
#include "settings/program_settings.h"
#include "support/scripted_dialogs.h"
#include "support/test_support.h"

namespace lectorix {

namespace {

// The novel as a book when the shared texts are there, else a book of the same shape.
std::string NovelBook() {
    const std::string novel = test::SharedDataPath("texts/tolstoy_anna_karenina.utf8.txt");
    std::string raw;
    if (!novel.empty()) {
        raw = LoadTextFile(novel);
    } else {
        for (int c = 1; c <= 30; ++c)
            raw += test::Cp("\r\nГлава ") + std::to_string(c) + "\r\n" + test::Story(30);
    }
    BookHeader header;
    header.BookAuthorLastName = test::Cp("Толстой");
    header.BookTitle = test::Cp("Анна Каренина");
    std::string book = BuildBookStructure(raw, header);
    ComputeBookLineCounts(book);
    return book;
}

// Everything a bookmark promises to bring back.
auto ReadingState(const TFormBook& form) {
    const ReadingEngine& e = form.Engine();
    return std::make_tuple(form.OpenFileName(), e.Page.PageNumber, e.Page.PageStart, e.Page.TextPos,
                           e.Page.LettersOnPage, e.Text.LettersBefore, e.Text.LettersToRead,
                           e.Page.TotalLetters, e.Settings.SpeedCpm, e.Engine.SpeedBonus,
                           e.Engine.TextTime, e.Engine.TimeLeft, e.Engine.PagesLeft,
                           e.Engine.AutoIncreaseRate, e.Engine.StepPenaltyRate, e.Memo.Lines);
}

}  // namespace

class BookmarksWindowTest : public QObject {
    Q_OBJECT

    test::TempDir dir_;
    std::string ini_ = (dir_.Path() / "lectorix.ini").string();

  private slots:
    void aBookmarkedPageOfABookComesBackAfterTheProgramStartsAgain() {
        const QString path = QString::fromStdString(dir_.Write("Анна.lxb", NovelBook()));
        decltype(ReadingState(std::declval<TFormBook&>())) before;
        {
            ProgramSettings settings;
            settings.SetStore({ini_, false});
            TFormBook form;
            ConnectBookmarks(form, settings, LoadDocumentBytes);
            QVERIFY(form.LoadOpenedFile(path));
            for (int i = 1; i < 37; ++i)
                form.ActionPageNext->trigger();
            form.ActionSpeedNext->trigger();
            form.ActionSpeedNext->trigger();
            QCOMPARE(form.Engine().Page.PageNumber, 37);
            before = ReadingState(form);
            form.ActionZakladkaAdd->trigger();
        }
        ProgramSettings settings;
        settings.SetStore({ini_, false});
        test::ScriptedDialogs script;
        script.answers = {Answer::Yes};
        TFormBook form;
        ConnectBookmarks(form, settings, LoadDocumentBytes);
        form.show();
        QTRY_COMPARE(script.asked, QStringList{"Закладка: Открыть последний текст?"});
        QTRY_COMPARE(form.OpenFileName(), path);
        QCOMPARE(ReadingState(form), before);
        // The dialog's stored speed is not the bookmark's.
        QCOMPARE(settings.Controls.RxSpinEditSpeedWords, 1000);

        // The menu: one submenu for the book's two pages; each opens its page.
        form.ActionPageNext->trigger();
        form.ActionZakladkaAdd->trigger();
        emit form.Zakladka->aboutToShow();
        QCOMPARE(form.Zakladka->actions().size(), 3);
        QMenu* book = form.Zakladka->actions()[2]->menu();
        QVERIFY(book && book->actions().size() == 2);
        book->actions()[1]->trigger();
        QCOMPARE(form.Engine().Page.PageNumber, 37);

        // A bookmark whose file is gone leaves the menu and the store.
        std::filesystem::remove(path.toStdString());
        emit form.Zakladka->aboutToShow();
        QCOMPARE(form.Zakladka->actions().size(), 2);
        QVERIFY(settings.RestoreBookmarks().empty());
    }

    void aPastedTextHasNoBookmarkAndArchivesOpenOrKeepTheOpenText() {
        ProgramSettings settings;
        settings.SetStore({(dir_.Path() / "other.ini").string(), false});
        test::CaughtWarnings warnings;
        TFormBook form;
        ConnectBookmarks(form, settings, LoadDocumentBytes);
        form.OpenText(test::Story(5));
        AddBookmark(form, settings);
        QCOMPARE(warnings.told,
                 QStringList{QStringLiteral("Текст вставлен из буфера обмена или отсутствует.")});
        QVERIFY(settings.RestoreBookmarks().empty());
        warnings.told.clear();

        const std::string zip = dir_.Write(
            "story.zip",
            test::Zip({{"story.txt",
                        "Хамелеон\nЧерез базарную площадь идет полицейский надзиратель.\n"}}));
        QVERIFY(form.LoadOpenedFile(QString::fromStdString(zip)));
        QCOMPARE(FromCp1251(form.Engine().MemoSource.Text()).left(8), QStringLiteral("Хамелеон"));
        const std::string text = form.Engine().MemoSource.Text();
        // A cut archive is named in the message, and the open text and its name stay.
        const std::string bytes = ReadFileBytes(zip);
        const std::string cut = dir_.Write("cut.zip", bytes.substr(0, bytes.size() / 2));
        QVERIFY(!form.LoadOpenedFile(QString::fromStdString(cut)));
        QCOMPARE(warnings.told.size(), 1);
        QVERIFY(warnings.told[0].contains(QString::fromStdString(cut)));
        QCOMPARE(form.Engine().MemoSource.Text(), text);
        QCOMPARE(form.OpenFileName(), QString::fromStdString(zip));
    }
};

}  // namespace lectorix

QTEST_MAIN(lectorix::BookmarksWindowTest)
#include "bookmarks_window_test.moc"
