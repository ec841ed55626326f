// The reading window headless: starting up, opening, pasting, saving, closing, the contents.
#include "app/form_book.h"

#include <signal.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QTreeView>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "app/contents_model.h"
#include "app/format_tool_window.h"
#include "app/unix_signals.h"
#include "book/text_loader.h"
#include "formatter/book_writer.h"
#include "formatter/form_format_lxb.h"
#include "gui/dialogs.h"
#include "gui/text_codec.h"
#include "settings/program_settings.h"
#include "support/fake_clock.h"
#include "support/modal_window.h"
#include "support/scripted_dialogs.h"
#include "support/test_support.h"

namespace lectorix {
namespace {

// A load that holds its worker on one file until released, reporting all the while, so a test
// can act while it runs. It gives up by itself after a while, so a failed test cannot hang.
class HeldLoad {
  public:
    std::atomic<bool> started{false};
    std::atomic<bool> cancelled{false};  // a report threw: the worker was told to stop
    std::atomic<bool> released{false};

    decltype(TFormBook::Windows::LoadDocument) Seam(const QString& held) {
        return [this, held](const QString& path, const std::function<void(int, int)>& progress,
                            const auto&) {
            const std::string file = QFile::encodeName(path).toStdString();
            if (path != held) return LoadTextFile(file);
            started = true;
            for (int i = 0; i < 10000 && !released; ++i) {
                try {
                    progress(i, 10000);
                } catch (...) {
                    cancelled = true;
                    throw;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            return LoadTextFile(file);
        };
    }
};

class PaintCounter : public QObject {
  public:
    std::atomic<int> paints{0};
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

}  // namespace

class FormBookTest : public QObject {
    Q_OBJECT

  private slots:
    void theFirstActivationOpensTheRightText() {
        test::ScriptedDialogs script;
        test::CaughtWarnings warnings;
        test::TempDir dir;
        const QString story = QString::fromStdString(dir.Write("сказка.txt", test::Story(3)));
        const QString missing = QStringLiteral("/nonexistent/book.lxb");
        const QString folder = QString::fromStdString(dir.Path().string());
        // A file that cannot be opened is named (it was skipped without a word), then the start
        // goes on: with bookmarks No opens the welcome book; a file wins.
        for (const auto& [bookmarks, file] :
             {std::pair{0, missing}, {2, missing}, {0, folder}, {0, story}}) {
            TFormBook form;
            int opened = -1;
            form.Seams.BookmarkCount = [n = bookmarks] { return n; };
            form.Seams.OpenBookmark = [&](int line) { opened = line; };
            form.SetCommandLineFile(file);
            script.asked.clear();
            script.answers = {Answer::No};
            form.show();
            warnings.told.clear();
            const bool welcome = file != story;
            QTRY_VERIFY(welcome ? form.Engine().Page.BookMode : form.OpenFileName() == story);
            QCOMPARE(warnings.told.size(), welcome ? 1 : 0);
            if (welcome) QVERIFY2(warnings.told[0].contains(file), qPrintable(warnings.told[0]));
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
        const int open = form.Panel1->width();
        QVERIFY(open >= 250);
        QTest::mouseClick(form.SpeedButton1, Qt::LeftButton);
        QCOMPARE(form.Panel1->width(), 10);
        QTest::mouseMove(form.Panel1, QPoint(5, 100));
        QTRY_COMPARE(form.Panel1->width(), open);
        QAbstractItemView* tree = form.TreeView1;
        QCOMPARE(tree->model()->rowCount(), e.Book.ContentsCount);
        {
            // Neither the focus moving nor the window's activation repaints the page area: each
            // did, the whole area, and Qt kept a copy of the largest part sent for good.
            QCoreApplication::processEvents();
            PaintCounter counter;
            form.Area()->installEventFilter(&counter);
            tree->setFocus();
            form.Area()->setFocus();
            for (QEvent::Type type : {QEvent::WindowDeactivate, QEvent::WindowActivate}) {
                QEvent change(type);
                QApplication::sendEvent(&form, &change);
            }
            QCoreApplication::processEvents();
            form.Area()->removeEventFilter(&counter);
            QCOMPARE(counter.paints, 0);
        }
        // A click on each entry shows its section on the entry's page.
        for (int i = tree->model()->rowCount() - 1; i >= 0; --i) {
            const QModelIndex item = tree->model()->index(i, 0);
            tree->scrollTo(item);
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                              tree->visualRect(item).center());
            const auto& entry = e.Book.ContentsEntries[static_cast<size_t>(i)];
            QCOMPARE(e.Page.PageNumber, entry.Page);
            const QString title = FromCp1251(e.Book.Title(static_cast<size_t>(i)));
            QVERIFY(item.data().toString().startsWith(title));
            // The heading opens the page (a long one runs on to the next line).
            QVERIFY(title.startsWith(FromCp1251(e.Memo.Lines[0]).simplified()));
        }
    }

    // At 1920 pixels the panel stayed as narrow as at 1366, its titles cut beside half a screen
    // of black.
    void theContentsPanelTakesTheRoomItsTitlesNeedAndKeepsTheWidthDragged() {
        std::string raw;
        for (int c = 1; c <= 6; ++c)
            raw += "\r\n" + test::Cp("Глава ") + std::to_string(c) +
                   test::Cp(". Фёдор Павлович Карамазов, его сыновья и их долгая история\r\n") +
                   test::Story(3);
        std::string book = BuildBookStructure(raw, BookHeader{});
        ComputeBookLineCounts(book);
        test::TempDir dir;
        ProgramSettings settings;
        settings.SetStore({(dir.Path() / "lectorix.ini").string(), false});
        auto form = std::make_unique<TFormBook>();
        const auto connect = [&](TFormBook& f) {
            f.Seams.RestoreContentsWidth = [&] { return settings.RestoreContentsWidth(); };
            f.Seams.StoreContentsWidth = [&](int width) { settings.StoreContentsWidth(width); };
        };
        connect(*form);
        form->resize(1920, 1000);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->OpenText(book);
        QAbstractItemView* tree = form->TreeView1;
        const auto cut = [tree](const QModelIndex& item) {
            const int margin = 2 * (tree->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
            return tree->fontMetrics().horizontalAdvance(item.data().toString()) + margin >
                   tree->visualRect(item).width();
        };
        const auto toolTip = [tree](const QModelIndex& item) {
            const QPoint at = tree->visualRect(item).center();
            QHelpEvent help(QEvent::ToolTip, at, tree->viewport()->mapToGlobal(at));
            QApplication::sendEvent(tree->viewport(), &help);
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        QTRY_VERIFY(form->Panel1->width() > 250);
        for (const QModelIndex& item :
             tree->model()->match(tree->model()->index(0, 0), Qt::DisplayRole, QString(), -1,
                                  Qt::MatchContains | Qt::MatchRecursive)) {
            QVERIFY2(!cut(item), qPrintable(item.data().toString()));
            QCOMPARE(toolTip(item), QString());
        }
        QVERIFY(form->Area()->width() >= form->Painter().PageWidth);
        {
            // Titles that are whole paragraphs take no more than a third of the window.
            std::string paragraphs;
            for (int c = 1; c <= 3; ++c)
                paragraphs += "\r\n" + test::Cp("Глава ") + std::to_string(c) + ". " +
                              test::Story(1).substr(0, 300) + "\r\n" + test::Story(3);
            std::string wide = BuildBookStructure(paragraphs, BookHeader{});
            ComputeBookLineCounts(wide);
            TFormBook other;
            other.resize(1920, 1000);
            other.show();
            QVERIFY(QTest::qWaitForWindowExposed(&other));
            other.OpenText(wide);
            QTRY_VERIFY(other.Panel1->width() > 250);
            QTest::qWait(50);
            QVERIFY2(other.Panel1->width() <= other.width() / 3,
                     qPrintable(QString::number(other.Panel1->width())));
        }

        // Dragged narrower, a cut title shows whole in its tool tip; the width stays through a
        // collapse and a new window size, and comes back in the next window.
        QSplitterHandle* handle = form->Splitter1->handle(1);
        const QPoint grip = handle->rect().center();
        const QPoint to = grip - QPoint(form->Panel1->width() - 200, 0);
        QTest::mousePress(handle, Qt::LeftButton, {}, grip);
        QTest::mouseMove(handle, to);
        QTest::mouseRelease(handle, Qt::LeftButton, {}, to);
        const int dragged = form->Panel1->width();
        QVERIFY(qAbs(dragged - 200) <= 2);
        const QModelIndex first = tree->model()->index(0, 0);
        QVERIFY(cut(first));
        QCOMPARE(toolTip(first), first.data().toString());
        {
            // Cut, an entry keeps its page number: the title gives way.
            QVERIFY(dynamic_cast<ContentsEntryDelegate*>(tree->itemDelegate()));
            struct Shown : ContentsEntryDelegate {
                using ContentsEntryDelegate::initStyleOption;
            } shown;
            QStyleOptionViewItem option;
            option.widget = tree;
            option.rect = tree->visualRect(first);
            option.font = tree->font();
            option.fontMetrics = tree->fontMetrics();
            shown.initStyleOption(&option, first);
            const QString whole = first.data().toString();
            const QString page = whole.mid(whole.lastIndexOf(QStringLiteral("  стр.-")));
            QVERIFY2(option.text.endsWith(QChar(0x2026) + page), qPrintable(option.text));
            QVERIFY(option.fontMetrics.horizontalAdvance(option.text) < option.rect.width());
        }
        QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
        QTest::mouseMove(form->Panel1, QPoint(5, 120));  // not where an earlier test left it
        QTRY_COMPARE(form->Panel1->width(), dragged);
        form->resize(1600, 900);
        QTRY_COMPARE(form->Panel1->width(), dragged);
        QVERIFY(form->close());
        form = std::make_unique<TFormBook>();
        connect(*form);
        form->show();
        QTRY_COMPARE(form->Panel1->width(), dragged);
    }

    // Such a book once showed nothing at all.
    void aBookOfAHundredThousandEntriesShowsItsFirstChapterAndItsContents() {
        // Chapter i's title "Hi" with `indent` blanks before it (five make a second level).
        const auto book = [](int n, const std::function<int(int)>& indent) {
            std::string body, trailer;
            for (int i = 0; i < n; ++i) {
                const std::string title =
                    std::string(static_cast<size_t>(indent(i)), ' ') + "H" + std::to_string(i);
                std::string entry = title + "|" + std::to_string(body.size()) + "|0|";
                for (int k = 0; k < 38; ++k)
                    entry += std::to_string(2 * i) + "|";
                trailer += entry + "\r\n";
                body += title + "\r\n  chapter te\r\n";
            }
            body.resize(body.size() - 2);
            std::string totals = "<INFOTEXTlen>|" + std::to_string(body.size() + 2) + "|0|";
            for (int k = 0; k < 38; ++k)
                totals += std::to_string(2 * n) + "|";
            return body + "\r\n<MENU>\r\n" + trailer + totals + "\r\n<INFOTEXTEND>";
        };
        const int n = 100000;
        TFormBook form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.OpenText(book(n, [](int) { return 3; }));
        ReadingEngine& e = form.Engine();
        QVERIFY(e.Page.BookMode);
        const QAbstractItemModel* model = form.TreeView1->model();
        QCOMPARE(model->rowCount(), n);
        // Shown in a list, which keeps no record of each row as a tree view does.
        QVERIFY(qobject_cast<const QListView*>(form.TreeView1));
        // No levels: row i is entry i, and no row has children.
        const QModelIndex last = model->index(n - 1, 0);
        QCOMPARE(last.data(Qt::UserRole).toInt(), n - 1);
        QVERIFY(!model->parent(last).isValid());
        QCOMPARE(model->rowCount(last), 0);
        QVERIFY(!model->index(n, 0).isValid());
        QVERIFY(!e.Memo.Lines.empty());
        QCOMPARE(FromCp1251(e.Memo.Lines[0]).trimmed(), QStringLiteral("H0"));
        QCOMPARE(e.Text.TotalPages, n);

        // A book with levels after it, the list's keyboard focus on: a tree takes its place,
        // with the focus, and a click on its entry still jumps there.
        form.TreeView1->setFocus();
        form.OpenText(book(4, [](int i) { return i % 2 ? 5 : 3; }));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // the list goes
        auto* tree = qobject_cast<QTreeView*>(form.TreeView1);
        QVERIFY(tree);
        QCOMPARE(
            form.Panel1->findChildren<QAbstractItemView*>(QString(), Qt::FindDirectChildrenOnly),
            QList<QAbstractItemView*>{tree});
        QCOMPARE(form.focusWidget(), tree);
        QVERIFY(tree->isVisible());
        QCOMPARE(tree->model()->rowCount(), 2);
        const QModelIndex third = tree->model()->index(0, 0, tree->model()->index(1, 0));
        QCOMPARE(third.data(Qt::UserRole).toInt(), 3);
        QVERIFY(tree->isExpanded(third.parent()));
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(third).center());
        QCOMPARE(FromCp1251(e.Memo.Lines[0]).trimmed(), QStringLiteral("H3"));
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
        refused(QStringLiteral("— не число"));
        QVERIFY(!form.Engine().Page.BookMode);
        // An unreadable file is named in the message.
        QVERIFY(!form.LoadOpenedFile(QStringLiteral("/nonexistent/книга.txt")));
        refused(QStringLiteral("/nonexistent/книга.txt"));
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);  // the busy pointer is gone
        // Whatever the loader says of a file is said as it stands.
        form.Seams.LoadDocument = [](const QString& path, const auto&, const auto&) -> std::string {
            throw UserError("Не удалось открыть файл \"" + path.toStdString() + "\": пустой файл");
        };
        QVERIFY(!form.LoadOpenedFile(QStringLiteral("/tmp/пустой.txt")));
        refused(QStringLiteral("\"/tmp/пустой.txt\": пустой файл"));
    }

    // The file is read on a worker: the window repaints meanwhile, the progress window comes
    // once 150 ms have passed on the window's clock, with "Отмена", and Esc keeps the open text
    // as it was (the load used to hold the window until it was over).
    void aLoadGoesOnBesideTheWindowAndCancelKeepsTheOpenText() {
        test::TempDir dir;
        const QString path = QString::fromStdString(dir.Write("long.txt", test::Story(40)));
        HeldLoad load;
        test::FakeClock clock;
        TFormBook form(nullptr, {}, clock);
        form.Seams.LoadDocument = load.Seam(path);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.OpenText(test::Story(10));
        QTRY_VERIFY(form.Engine().Page.TotalLetters >= 0);  // its caption comes no more
        const auto state = [&form] {
            const ReadingEngine& e = form.Engine();
            return std::make_tuple(e.MemoSource.Text(), e.Memo.Lines, e.Page.PageStart,
                                   form.OpenFileName(), form.windowTitle());
        };
        const auto before = state();
        PaintCounter counter;
        form.Area()->installEventFilter(&counter);
        QTimer::singleShot(0, &form, [&] {
            QTRY_VERIFY(load.started);
            const int painted = counter.paints;
            form.Area()->update();
            QTRY_VERIFY(counter.paints > painted);
            QVERIFY(form.Loads().Window() && !form.Loads().Window()->Window());
            clock.AdvanceMs(ProgressWindow::kShowAfterMs);
            QTRY_VERIFY(form.Loads().Window()->Window());
            TFormRAR* window = form.Loads().Window()->Window();
            QCOMPARE(window->windowTitle(), QStringLiteral("Загрузка книги"));
            QVERIFY(window->ButtonCancel && window->ButtonCancel->isVisible());
            QTest::keyClick(window, Qt::Key_Escape);
        });
        QVERIFY(!form.LoadOpenedFile(path));
        QVERIFY(state() == before);
        QVERIFY(!form.Loads().Running());
        QTRY_VERIFY(load.cancelled);  // the worker stopped at its next report
    }

    // At the start a converted book's first page comes as soon as its first chapters are
    // ready, while the rest is still counted; the whole book then takes its place, and a first
    // part arriving late never replaces the whole. Other loads are not offered one.
    void theFirstChaptersShowBeforeTheWholeBook() {
        const std::string part = test::StoryBook(2), whole = test::StoryBook(12);
        TFormBook form;
        std::atomic<bool> partShown{false};
        bool offered = false;
        std::function<void(std::string)> kept;
        form.Seams.LoadDocument = [&](const QString&, const auto& progress,
                                      const auto& firstPart) -> std::string {
            offered = static_cast<bool>(firstPart);
            if (!firstPart) return whole;
            firstPart(part);
            for (int i = 0; i < 5000 && !partShown; ++i) {
                progress(i, 5000);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            kept = firstPart;
            return whole;
        };
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, &form, [&] {
            if (form.Engine().Book.ContentsCount == 2 && form.Engine().Page.PageNumber >= 1)
                partShown = true;
        });
        watch.start(1);
        // The text left is recorded once, when the first part takes its place; nothing of
        // the part, which could not be read.
        int recorded = 0;
        form.Engine().RecordReadingStatistics = [&recorded] { ++recorded; };
        QVERIFY(form.LoadOpenedFile(QStringLiteral("/книги/роман.fb2"), true));
        watch.stop();
        QCOMPARE(recorded, 1);
        QVERIFY(form.Engine().RecordReadingStatistics);
        QVERIFY(offered);
        QVERIFY(partShown);
        QCOMPARE(form.Engine().Book.ContentsCount, 12);
        QCOMPARE(form.OpenFileName(), QStringLiteral("/книги/роман.fb2"));
        kept(part);
        QTest::qWait(20);
        QCOMPARE(form.Engine().Book.ContentsCount, 12);

        QVERIFY(form.LoadOpenedFile(QStringLiteral("/книги/другой.fb2")));
        QVERIFY(!offered);
    }

    // Another file asked for while one loads wins; closing the window while a file loads (as
    // SIGTERM does) keeps the open text. Either way the worker is stopped.
    void aSecondLoadOrClosingTheWindowDuringALoad() {
        test::TempDir dir;
        const QString held = QString::fromStdString(dir.Write("held.txt", test::Story(40)));
        const QString other = QString::fromStdString(dir.Write("other.txt", test::Story(5)));
        HeldLoad load;
        TFormBook form;
        form.Seams.LoadDocument = load.Seam(held);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.OpenText(test::Story(10));
        bool second = false;
        QTimer::singleShot(0, &form, [&] {
            QTRY_VERIFY(load.started);
            second = form.LoadOpenedFile(other);
        });
        QVERIFY(!form.LoadOpenedFile(held));
        QVERIFY(second);
        QCOMPARE(form.OpenFileName(), other);
        QCOMPARE(FromCp1251(form.Engine().MemoSource.Text()),
                 FromCp1251(test::Story(5).substr(0, test::Story(5).size() - 2)));
        QTRY_VERIFY(load.cancelled);

        load.started = load.cancelled = false;
        InstallTerminationHandler(&form, [&form] { form.CloseWithoutQuestion(); });
        const std::string text = form.Engine().MemoSource.Text();
        QTimer::singleShot(0, &form, [&] {
            QTRY_VERIFY(load.started);
            raise(SIGTERM);
        });
        QVERIFY(!form.LoadOpenedFile(held));
        QVERIFY(!form.isVisible());
        QVERIFY(form.Engine().MemoSource.Text() == text);
        QCOMPARE(form.OpenFileName(), other);
        QTRY_VERIFY(load.cancelled);
    }

    // The formatting tool from the reading window: a raw text becomes a book that opens with
    // its contents, saved byte for byte as `format --auto-headings` writes it; the book comes
    // back to the tool with its trailer and header, and an entry withdrawn there is gone.
    void theFormattingToolMakesABookOfARawTextThatTheReaderOpensWithItsContents() {
        test::ScriptedDialogs script;
        test::TempDir dir;
        const std::string paragraph(90, 'x');
        const std::string raw = test::Cp("Автор\n\nПовесть\n\n\nЧасть первая\n\nI\n\n") +
                                paragraph + "\n\nII\n\n" + paragraph + "\n\n" + paragraph + "\n";
        const QString path = QString::fromStdString(dir.Write("Книга.TXT", raw));
        const QString saved = QString::fromStdString((dir.Path() / "saved.lxb").string());
        TFormBook form(nullptr, [](ReadingEngine& e) { e.Settings.FormatToolEnabled = true; });
        ConnectFormatTool(form);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(form.ActionConvert->isVisible());
        QVERIFY(form.LoadOpenedFile(path));

        auto tool = [&](const std::function<void(TFormFormatLXB&)>& work) {
            return test::AnswerModal<TFormFormatLXB>([&] { form.ActionConvert->trigger(); }, work);
        };
        QCOMPARE(tool([&](TFormFormatLXB& t) {
                     QCOMPARE(t.MemoText(), NormalizeLineEnds(raw.substr(0, raw.size() - 1)));
                     QVERIFY(!t.Button7->isEnabled() && !t.Button9->isEnabled());
                     // A text without long lines is questioned, Cancel changes nothing; OK
                     // makes both lines headings and "Откатить" brings the text back.
                     const std::string small = test::Cp("\r\nГлава\r\n\r\nТекст");
                     t.SetMemoText(small);
                     script.answers = {Answer::No, Answer::Yes};
                     t.Button5->click();
                     QCOMPARE(t.MemoText(), small);
                     t.Button5->click();
                     QCOMPARE(QStringList(script.asked.mid(0, 1)),
                              QStringList{"Возможно ошибочное действие.: Возможно текст не "
                                          "нуждается в этом форматировании.\r\nПродолжить?"});
                     QVERIFY(
                         t.MemoText().starts_with(test::Cp("   Глава\r\n   Текст\r\n<MENU>\r\n"
                                                           "   Глава     |0|0|\r\n"
                                                           "   Текст     |10|5|")));
                     t.Button7->click();
                     QCOMPARE(t.MemoText(), small);

                     t.SetMemoText(NormalizeLineEnds(raw));
                     t.EditAutor->setText(QStringLiteral("Автор"));
                     t.EditTextName->setText(QStringLiteral("Повесть"));
                     t.ButtonAutoHeadings->click();
                     t.Button5->click();
                     QVERIFY(t.Memo4->toPlainText().startsWith(QStringLiteral("<MENU>\n")));
                     t.Button10->click();
                     script.fileNames = {saved};
                     t.Button11->click();
                     QCOMPARE(script.filters.last(),
                              QtFileFilter(QString::fromUtf8(TFormFormatLXB::kSaveFilter)));
                     QCOMPARE(t.FileName(), saved);
                 }),
                 1);
        const std::string bytes = ReadFileBytes(saved.toStdString());
        BookHeader header;
        header.BookAuthor = test::Cp("Автор");
        header.BookTitle = test::Cp("Повесть");
        QVERIFY(bytes == FormatBook(raw, header, {{CleanupStep::AutoHeadings}, {}}));

        // The reader opens the book with its contents: the title, the part, its chapters.
        QVERIFY(form.LoadOpenedFile(saved));
        QVERIFY(form.Engine().Page.BookMode);
        const QAbstractItemModel* contents = form.TreeView1->model();
        QCOMPARE(contents->rowCount(), 2);
        QCOMPARE(contents->rowCount(contents->index(1, 0)), 2);
        const auto* tree = qobject_cast<const QTreeView*>(form.TreeView1);
        QVERIFY(tree);                                     // contents with levels: a tree
        QVERIFY(tree->isExpanded(contents->index(1, 0)));  // its branch open
        QVERIFY(contents->index(1, 0).data().toString().startsWith(QStringLiteral("Часть первая")));

        // Back in the tool: the book with its trailer and header; a double-click on the entry
        // of chapter II withdraws it, and the book saved again has one chapter.
        QCOMPARE(tool([&](TFormFormatLXB& t) {
                     QCOMPARE(t.EditAutor->text(), QStringLiteral("Автор"));
                     QVERIFY(t.MemoText() == form.Engine().WholeText());
                     const QTextBlock entry = t.Memo4->document()->findBlockByNumber(4);
                     QVERIFY(entry.text().startsWith(QStringLiteral("     II|")));
                     t.Memo4->verticalScrollBar()->setValue(0);
                     QTest::mouseDClick(t.Memo4->viewport(), Qt::LeftButton, {},
                                        t.Memo4->cursorRect(QTextCursor(entry)).center());
                     QCOMPARE(t.Edit5->text(), QStringLiteral("     II"));
                     QVERIFY(!t.Memo4->toPlainText().contains(QStringLiteral("     II|")));
                     t.Button10->click();
                     script.fileNames = {saved};
                     t.Button6->click();
                 }),
                 1);
        QVERIFY(form.LoadOpenedFile(saved));
        QCOMPARE(contents->rowCount(contents->index(1, 0)), 1);
    }
};

}  // namespace lectorix

QTEST_MAIN(lectorix::FormBookTest)
#include "form_book_test.moc"
