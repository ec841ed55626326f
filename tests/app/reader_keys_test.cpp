// The reader's keys whatever had the focus (a menu, the contents tree), a tick's repaint, the
// page keys and the wheel, finding, going to a page, full screen, the speed shown, the page menu.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPaintEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <QTreeView>
#include <QWheelEvent>
#include <QWindow>

#include "app/form_book.h"
#include "book/text_loader.h"
#include "gui/text_codec.h"
#include "support/hand_ticks.h"
#include "support/scripted_dialogs.h"
#include "support/test_support.h"
#include "timer/qvl_thread_timer.h"

namespace lectorix {
namespace {

// The novel when the shared texts are there, else a long text of the same kind.
std::string Novel() {
    const std::string path = test::SharedDataPath("texts/tolstoy_anna_karenina.utf8.txt");
    return path.empty() ? test::Story(2000) : LoadTextFile(path);
}

void Wheel(QWidget* area, int delta) {
    const QPointF at(area->width() / 2.0, area->height() / 2.0);
    QWheelEvent wheel(at, area->mapToGlobal(at), {}, {0, delta}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(area, &wheel);
}

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

// A clock that moves a millisecond each time it is read, so a long walk lasts on it without the
// test waiting.
class RunningClock : public Clock {
  public:
    double Now() override { return now_ += 1.0 / 86400000.0; }

  private:
    double now_ = 46000.0;
};

}  // namespace

class ReaderKeysTest : public QObject {
    Q_OBJECT

    // A key as the keyboard gives it: to the window, where focus and short-cuts decide.
    static void Press(TFormBook& form, Qt::Key key, Qt::KeyboardModifiers mods = {}) {
        QTest::keyClick(form.windowHandle(), key, mods);
    }
    static void ShowActive(TFormBook& form) {
        form.resize(1200, 800);
        form.show();
        QApplication::setActiveWindow(&form);
        QVERIFY(QTest::qWaitForWindowActive(&form));
    }

  private slots:
    void theReadingKeysAndTheFirstEscAfterAMenu() {
        test::FakeClock clock;
        TFormBook form(nullptr, {}, clock);
        test::HandTicks ticks(form, clock);
        ShowActive(form);
        form.OpenText(test::Story(30));
        ReadingEngine& e = form.Engine();
        e.Settings.PageStartDelayMs = 0;
        e.Engine.PageDelayTicks = 1;
        // "Текст" opened and closed with Esc: the menu bar keeps the keyboard. (Headless, a menu's
        // window is activated, which a desktop does not do: the window is activated again.)
        QMenuBar* bar = form.menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(bar->actions()[0]).center());
        QTRY_VERIFY(QApplication::activePopupWidget());
        QWidget* menu = QApplication::activePopupWidget();
        QTRY_COMPARE(QGuiApplication::focusWindow(), menu->windowHandle());
        QTest::keyClick(menu, Qt::Key_Escape);
        QTRY_VERIFY(!QApplication::activePopupWidget());
        form.windowHandle()->requestActivate();
        QTRY_COMPARE(QGuiApplication::focusWindow(), form.windowHandle());
        QCOMPARE(QApplication::focusWidget(), bar);
        QCOMPARE(bar->activeAction(), bar->actions()[0]);

        Press(form, Qt::Key_Return);
        QVERIFY(e.Reading());
        QVERIFY(ticks.TickUntil([&] { return e.Engine.ShutterPos > 40; }));
        // A tick repaints only the thin strips a one-pixel step changes.
        PaintRecorder recorder;
        form.Area()->installEventFilter(&recorder);
        QVERIFY(ticks.TickUntil([&] { return e.Engine.ShutterPos > 55; }));
        form.Area()->removeEventFilter(&recorder);
        QVERIFY(!recorder.rects.isEmpty());
        for (const QRect& r : recorder.rects)
            QVERIFY2(r.height() <= 7, qPrintable(QStringLiteral("%1 rows").arg(r.height())));
        Press(form, Qt::Key_Escape);
        QVERIFY(e.Engine.IsPaused);
        Press(form, Qt::Key_Return);
        QVERIFY(e.Reading());  // resumed, not stopped
        QCOMPARE(QApplication::focusWidget(), form.Area());
        // Enter while reading stops; Right and Left turn pages; Down lowers the speed by 50.
        Press(form, Qt::Key_Return);
        QVERIFY(e.Engine.IsStopped);
        Press(form, Qt::Key_Right);
        QVERIFY(e.Page.PageNumber == 2 && !e.Reading());
        Press(form, Qt::Key_Left);
        QCOMPARE(e.Page.PageNumber, 1);
        const int speed = e.Settings.SpeedCpm;
        Press(form, Qt::Key_Down);
        QCOMPARE(e.Settings.SpeedCpm, speed - 50);

        // Only the page and the contents take the keyboard (a button would take Space).
        for (QWidget* w : form.findChildren<QWidget*>())
            if (w->isVisible() && (w->focusPolicy() & Qt::TabFocus))
                QVERIFY2(w == form.Area() || w == form.TreeView1, w->metaObject()->className());
    }

    void theContentsFollowTheReadingAndTakeTheirKeys() {
        test::FakeClock clock;
        TFormBook form(nullptr, {}, clock);
        test::HandTicks ticks(form, clock);
        ShowActive(form);
        form.OpenText(test::StoryBook(60));
        ReadingEngine& e = form.Engine();
        QAbstractItemView* tree = form.TreeView1;
        const auto current = [tree] { return tree->currentIndex().data(Qt::UserRole).toInt(); };
        const auto seen = [tree] {
            const QRect item = tree->visualRect(tree->currentIndex());
            return item.top() >= 0 && item.bottom() <= tree->viewport()->height();
        };
        // Page keys into chapter 41: its entry is selected and scrolled into view.
        while (e.Page.PageNumber < 3 * 40 + 1 && form.ActionPageNext->isEnabled())
            Press(form, Qt::Key_PageDown);
        QCOMPARE(current(), 40);
        QVERIFY(tree->selectionModel()->isSelected(tree->currentIndex()));
        QVERIFY(seen());
        // And reading on into the next chapter.
        Press(form, Qt::Key_PageDown);
        Press(form, Qt::Key_PageDown);
        e.Settings.PageStartDelayMs = 0;
        Press(form, Qt::Key_Return);
        QVERIFY(ticks.TickUntil([&] { return e.Page.PageNumber == 3 * 41 + 1; }));
        QCOMPARE(current(), 41);
        QVERIFY(seen());
        Press(form, Qt::Key_Escape);

        // Reading collapsed the panel; Tab reaches the tree and opens it; its arrows move in it,
        // not the speed; Enter jumps to the entry, and the next Enter reads.
        QCOMPARE(form.Panel1->width(), 10);
        const int speed = e.Settings.SpeedCpm;
        Press(form, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), tree);
        QCOMPARE(form.Panel1->width(), 250);
        Press(form, Qt::Key_Down);
        Press(form, Qt::Key_Down);
        QCOMPARE(current(), 43);
        QCOMPARE(e.Settings.SpeedCpm, speed);
        Press(form, Qt::Key_Return);
        QVERIFY(!e.Reading());
        QCOMPARE(e.Page.PageNumber, e.Book.ContentsEntries[43].Page);
        QCOMPARE(QApplication::focusWidget(), form.Area());
        Press(form, Qt::Key_Return);
        QVERIFY(e.Reading());
        Press(form, Qt::Key_Escape);

        // Home: the first page of the chapter on screen. End: its last page, then the book's;
        // Home then goes back to the chapter's first page and on to the book's.
        Press(form, Qt::Key_PageDown);
        Press(form, Qt::Key_Home);
        QCOMPARE(e.Page.PageNumber, e.Book.ContentsEntries[43].Page);
        Press(form, Qt::Key_End);
        QCOMPARE(e.Page.PageNumber, e.Book.ContentsEntries[44].Page - 1);
        Press(form, Qt::Key_End);
        QCOMPARE(e.Page.PageNumber, e.Text.TotalPages);
        QVERIFY(!form.ActionPageNext->isEnabled());
        Press(form, Qt::Key_Home);
        QCOMPARE(e.Page.PageNumber, e.Book.ContentsEntries[59].Page);
        Press(form, Qt::Key_Home);
        QCOMPARE(e.Page.PageNumber, 1);
    }

    void thePageKeysTheWheelAndFullScreen() {
        test::ScriptedDialogs script;
        TFormBook form;
        ShowActive(form);
        form.OpenText(test::Story(60));
        ReadingEngine& e = form.Engine();
        const long long firstEnd = e.Page.TextPos;
        Press(form, Qt::Key_PageDown);
        QCOMPARE(e.Page.PageNumber, 2);
        QCOMPARE(e.Page.PageStart, firstEnd);
        Press(form, Qt::Key_PageDown);
        Press(form, Qt::Key_PageUp);
        QCOMPARE(e.Page.PageNumber, 2);

        // F11 and back keep the page; full screen hides menus and tool bars, fits the page.
        const auto shown = [&] {
            return std::tuple(e.Page.PageNumber, e.Page.PageStart, e.Memo.Lines);
        };
        const auto page = shown();
        Press(form, Qt::Key_F11);
        QVERIFY(form.isFullScreen());
        QTRY_VERIFY(!form.menuBar()->isVisible());
        QVERIFY(!form.ToolBar1->isVisible() && !form.ToolBar2->isVisible());
        QCOMPARE(shown(), page);
        QTRY_VERIFY(form.Painter().PageHeight + kPageTop <= form.Area()->height());
        Press(form, Qt::Key_F11);
        QVERIFY(!form.isFullScreen());
        QTRY_VERIFY(form.menuBar()->isVisible());
        QCOMPARE(shown(), page);

        Press(form, Qt::Key_Home);
        QCOMPARE(
            std::tuple(e.Page.PageNumber, e.Page.PageStart, e.Page.TextPos, e.Text.LettersBefore),
            std::tuple(1, 0LL, firstEnd, 0LL));

        // A notch of the wheel turns a page; a touch pad's half notches add up to one.
        for (const auto& [delta, page] : {std::pair{-120, 2}, {-60, 2}, {-60, 3}, {240, 1}}) {
            Wheel(form.Area(), delta);
            QCOMPARE(e.Page.PageNumber, page);
        }
        // Not while reading.
        e.Engine.PageDelayTicks = 1000000;
        Press(form, Qt::Key_Return);
        Wheel(form.Area(), -120);
        QCOMPARE(e.Page.PageNumber, 1);
        QVERIFY(e.Reading());
        Press(form, Qt::Key_Escape);

        // Ctrl+O opens, Ctrl+V pastes.
        Press(form, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(script.filters.size(), 1);
        // The filter it opens with shows books and archives too, not only the older kinds.
        const QString first = script.filters.front().section(QStringLiteral(";;"), 0, 0);
        for (const char* mask : {"*.fb2", "*.fb2.zip", "*.epub", "*.zip", "*.txt", "*.lxb"})
            QVERIFY2(first.contains(QLatin1String(mask)), mask);
        QGuiApplication::clipboard()->setText(QStringLiteral("Вставленный текст."));
        Press(form, Qt::Key_V, Qt::ControlModifier);
        QVERIFY(FromCp1251(e.MemoSource.Text()).startsWith(QStringLiteral("Вставленный")));

        // Every key of an action shows in a menu.
        QList<QAction*> inMenus;
        for (QAction* m : form.menuBar()->actions())
            inMenus += m->menu()->actions();
        for (QAction* a : form.ActionList1())
            if (!a->shortcuts().isEmpty()) QVERIFY2(inMenus.contains(a), qPrintable(a->text()));
    }

    void findingAndGoingToAPageOfTheNovel() {
        // A story of one paragraph repeated has no phrase that stands on one page only.
        if (test::SharedDataPath("texts/tolstoy_anna_karenina.utf8.txt").empty())
            QSKIP("the novel of the shared test data is not beside the repository");
        test::ScriptedDialogs script;
        test::CaughtWarnings warnings;
        TFormBook form;
        ShowActive(form);
        form.OpenText(Novel());
        ReadingEngine& e = form.Engine();
        // The letter count's caption comes first, so it cannot cover the status lines.
        QTRY_VERIFY(e.Page.TotalLetters >= 0);
        // Pages 100 and 300 as the page key reaches them, and a phrase from the middle of 300.
        std::vector<std::string> page100;
        for (int i = 1; i < 300; ++i) {
            if (i == 100) page100 = e.Memo.Lines;
            form.ActionPageNext->trigger();
        }
        const auto booked = [&] {
            return std::make_tuple(e.Page.PageNumber, e.Page.PageStart, e.Text.LettersBefore,
                                   form.windowTitle());
        };
        const auto page300 = booked();
        const size_t from = e.MemoSource.Text().find(
            ' ', static_cast<size_t>(e.Page.PageStart + e.Page.TextPos) / 2);
        const QString phrase =
            FromCp1251(e.MemoSource.Text().substr(from + 1, 30)).simplified().section(' ', 0, 2);
        Press(form, Qt::Key_Home);

        // Ctrl+F, in capitals: the page that holds it, booked as the keys book it.
        script.inputs = {phrase.toUpper()};
        Press(form, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(booked(), page300);
        QVERIFY(warnings.told.isEmpty());
        // The phrase is marked where the page shows it, until the page changes.
        const PagePainter& painter = form.Painter();
        QString marked;
        for (const QRect& r : form.FoundShown()) {
            QCOMPARE(r.height(), painter.LineHeight);
            const auto line = static_cast<size_t>((r.y() - painter.TopMargin) / painter.LineHeight);
            marked += FromCp1251(e.Memo.Lines.at(line))
                          .mid((r.x() - painter.LeftMargin) / painter.CharWidth,
                               r.width() / painter.CharWidth) +
                      ' ';
        }
        QCOMPARE(marked.simplified().toUpper(), phrase.toUpper());
        Press(form, Qt::Key_Right);
        QVERIFY(form.FoundShown().empty());
        Press(form, Qt::Key_Left);
        // F3 searches on without asking: the phrase occurs once, so a message; the page stays.
        Press(form, Qt::Key_F3);
        QCOMPARE(script.prompts.size(), 1);
        QVERIFY(warnings.told.size() == 1 && warnings.told[0].contains("не встречается"));
        QCOMPARE(e.Page.PageStart, std::get<1>(page300));

        // Ctrl+G to page 100, back from 300.
        script.inputs = {QStringLiteral("100")};
        Press(form, Qt::Key_G, Qt::ControlModifier);
        QCOMPARE(e.Page.PageNumber, 100);
        QCOMPARE(e.Memo.Lines, page100);
    }

    // Cancelled while it finds the pages or while it turns them, a long Ctrl+G leaves the
    // reader on its page, booked as it was (the progress window had no way to stop it).
    void aLongJumpCancelledLeavesThePageAsItWas() {
        test::ScriptedDialogs script;
        test::CaughtWarnings warnings;
        RunningClock clock;
        TFormBook form(nullptr, {}, clock);
        ShowActive(form);
        form.OpenText(Novel());
        ReadingEngine& e = form.Engine();
        QTRY_VERIFY(e.Page.TotalLetters >= 0);
        for (int i = 1; i < 5; ++i)
            form.ActionPageNext->trigger();
        const auto state = [&] {
            return std::make_tuple(
                e.Page.PageNumber, e.Page.PageStart, e.Page.TextPos, e.Text.LettersBefore,
                e.Text.LettersToRead, e.Engine.TimeLeft, e.Memo.Lines, form.windowTitle(),
                form.ActionPageBack->isEnabled(), form.QvlThreadTimer1().Interval());
        };
        const auto before = state();
        int cancelAt = 0;
        QTimer canceller;  // runs whenever the walk lets the events through
        canceller.setInterval(0);
        connect(&canceller, &QTimer::timeout, &form, [&] {
            auto* window = qobject_cast<TFormRAR*>(QApplication::activeModalWidget());
            if (window && window->isVisible() && window->ProgressBar1->value() >= cancelAt)
                QTest::mouseClick(window->ButtonCancel, Qt::LeftButton);
        });
        canceller.start();
        // Finding the pages is the first half of the bar, turning them the second.
        for (const int at : {250, 750}) {
            cancelAt = at;
            script.inputs = {QStringLiteral("400")};
            Press(form, Qt::Key_G, Qt::ControlModifier);
            QVERIFY(state() == before);
        }
        canceller.stop();
        QVERIFY(warnings.told.isEmpty());
        // Nothing is left behind: the same jump, not cancelled, arrives.
        script.inputs = {QStringLiteral("400")};
        Press(form, Qt::Key_G, Qt::ControlModifier);
        QCOMPARE(e.Page.PageNumber, 400);
    }

    void aNewSpeedShowsOnThePageForTwoSecondsAndTheRightClickMenu() {
        test::FakeClock clock;
        TFormBook form(nullptr, {}, clock);
        ShowActive(form);
        form.OpenText(test::Story(30));
        QTRY_VERIFY(form.Engine().Page.TotalLetters >= 0);
        const QString caption = form.windowTitle();
        const int speed = form.Engine().Settings.SpeedCpm;
        const QString shown = QStringLiteral("%1 зн/мин").arg(speed + 50);
        const QRect box = form.Area()->SpeedRect();
        const auto boxImage = [&] { return form.Area()->grab(box).toImage(); };
        const QImage before = boxImage();

        Press(form, Qt::Key_Up);
        QCOMPARE(form.SpeedShown(), shown);
        QVERIFY(boxImage() != before);
        QVERIFY(form.ActionSpeedBeack->toolTip().contains(shown));
        QCOMPARE(form.windowTitle(), caption);  // the status line keeps its text
        clock.AdvanceMs(1999);
        QCOMPARE(form.SpeedShown(), shown);
        clock.AdvanceMs(2);
        QVERIFY(form.SpeedShown().isEmpty());
        QCOMPARE(boxImage(), before);

        // The right click offers the reading actions, the bookmarks and the settings.
        const QPoint at = form.Area()->rect().center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, form.Area()->mapToGlobal(at));
        QApplication::sendEvent(form.Area(), &click);
        QTRY_VERIFY(form.PopupMenuPage->isVisible());
        const QList<QAction*> items = form.PopupMenuPage->actions();
        for (QAction* a : {form.ActionRun, form.Zakladka->menuAction(), form.ActionUserProperties})
            QVERIFY2(items.contains(a), qPrintable(a->text()));
        form.PopupMenuPage->close();
    }
};

}  // namespace lectorix

QTEST_MAIN(lectorix::ReaderKeysTest)
#include "reader_keys_test.moc"
