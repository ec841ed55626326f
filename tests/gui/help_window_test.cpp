// The help window: every context number lands on a page that is there, the pages link only to
// pages and anchors that are there, there is one window, usable from a modal dialog, and F1 in
// each of the program's windows opens that window's page.
#include "gui/help_window.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QSet>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTreeWidget>
#include <memory>

#include "app/form_about.h"
#include "app/form_book.h"
#include "exercises/form_line.h"
#include "exercises/form_tables.h"
#include "formatter/form_format_lxb.h"
#include "settings/form_user_setting.h"
#include "stats/form_statistic.h"
#include "support/fake_clock.h"

namespace lectorix {

class HelpWindowTest : public QObject {
    Q_OBJECT

  private:
    static QString ResourcePath(const QUrl& url) { return QLatin1Char(':') + url.path(); }

    struct Page {
        QString title;
        QString text;
        QSet<QString> anchors;
        QList<QUrl> links;
    };
    static Page Read(const QUrl& url) {
        QFile file(ResourcePath(url));
        if (!file.open(QIODevice::ReadOnly)) return {};
        QTextDocument doc;
        doc.setHtml(QString::fromUtf8(file.readAll()));
        Page page{doc.metaInformation(QTextDocument::DocumentTitle), doc.toPlainText(), {}, {}};
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat f = it.fragment().charFormat();
                for (const QString& name : f.anchorNames())
                    page.anchors << name;
                if (f.isAnchor() && !f.anchorHref().isEmpty())
                    page.links << url.resolved(QUrl(f.anchorHref()));
            }
        }
        return page;
    }

    static THelpWindow* Open(QWidget* owner, int context) {
        ShowHelpContext(owner, context);
        return HelpWindowInstance();
    }

  private slots:
    void everyContextLandsOnItsPageAndUnknownOnesOnTheContents() {
        using namespace help_context;
        QWidget owner;
        THelpWindow* first = Open(&owner, kReading);
        QSet<QUrl> pages;
        for (int context :
             {kMainWindow, kTables, kReading, kSettings, kSettingsMain, kSettingsExtra,
              kSettingsFont, kWords, kStatistics, kBookmarks, kBookFormat, kFormatTool, kAbout}) {
            QCOMPARE(Open(&owner, context), first);  // one window
            QCOMPARE(first->CurrentContext(), context);
            QVERIFY(QFile::exists(ResourcePath(first->CurrentUrl())));
            pages << first->CurrentUrl().adjusted(QUrl::RemoveFragment);
            // The list on the left follows the page.
            QCOMPARE(first->Topics()->currentItem()->text(0),
                     first->Browser()->document()->metaInformation(QTextDocument::DocumentTitle));
        }
        QCOMPARE(pages.size(), 13);  // each its own page
        for (int context : {0, -1, 95, 1000}) {
            QCOMPARE(Open(&owner, context), first);
            QCOMPARE(first->CurrentUrl(), THelpWindow::ContentsUrl());
            QCOMPARE(first->CurrentContext(), -1);
        }
        QVERIFY(first->isVisible() && !first->isModal());

        // A link or a topic the user follows sets the context too.
        first->ShowPage(QUrl(QStringLiteral("reading.html#keys")));
        QCOMPARE(first->CurrentContext(), kReading);
        QCOMPARE(first->CurrentUrl().fragment(), QStringLiteral("keys"));
        first->Topics()->setCurrentItem(
            first->Topics()->findItems(QStringLiteral("Закладки"), Qt::MatchRecursive).value(0));
        QCOMPARE(first->CurrentContext(), kBookmarks);
    }

    void everyLinkResolvesAndEveryPageIsListed() {
        QList<QUrl> pages;
        for (const QString& name : QDir(QStringLiteral(":/help")).entryList({"*.html"}))
            pages << QUrl(QStringLiteral("qrc:/help/") + name);
        QSet<QUrl> linked;
        for (const QUrl& url : pages) {
            const Page page = Read(url);
            QVERIFY2(!page.title.isEmpty() && page.text.size() > 200, qPrintable(url.toString()));
            for (const QUrl& link : page.links) {
                const QString where = url.fileName() + " -> " + link.toString();
                if (link.scheme() != QLatin1String("qrc")) {
                    QVERIFY2(link.scheme().startsWith(QLatin1String("http")), qPrintable(where));
                    continue;
                }
                QVERIFY2(QFile::exists(ResourcePath(link)), qPrintable(where));
                if (link.hasFragment())
                    QVERIFY2(Read(link).anchors.contains(link.fragment()), qPrintable(where));
                linked << link.adjusted(QUrl::RemoveFragment);
            }
        }

        QWidget owner;
        THelpWindow* help = Open(&owner, 0);
        QSet<QUrl> listed;
        QTreeWidget* topics = help->Topics();
        QVERIFY(QTest::qWaitForWindowExposed(help));
        for (QTreeWidgetItemIterator it(topics); *it; ++it) {
            // Every title shows whole; the longest was cut to "...ориентир цен...".
            QVERIFY2(topics->visualItemRect(*it).left() +
                             topics->fontMetrics().horizontalAdvance((*it)->text(0)) <
                         topics->viewport()->width(),
                     qPrintable((*it)->text(0)));
            const QUrl url((*it)->data(0, Qt::UserRole).toString());
            QVERIFY2(QFile::exists(ResourcePath(url)), qPrintable(url.toString()));
            QCOMPARE((*it)->text(0), Read(url).title);
            listed << url;
        }
        for (const QUrl& url : pages) {
            QVERIFY2(listed.contains(url), qPrintable(url.toString()));
            if (url != THelpWindow::ContentsUrl())
                QVERIFY2(linked.contains(url), qPrintable(url.toString() + " is linked nowhere"));
        }
    }

    // A window that lost its F1 (or two owners of the key, which leave it to neither) shows no
    // page or the wrong one.
    void f1InEveryWindowOpensItsPage() {
        using namespace help_context;
        const auto pressF1 = [](QWidget* window) {
            // Closed first, so that it must open and cannot keep the keyboard from the window.
            if (HelpWindowInstance()) HelpWindowInstance()->close();
            window->show();
            window->activateWindow();
            if (!QTest::qWaitForWindowActive(window)) return -2;
            QTest::keyClick(window, Qt::Key_F1);
            const THelpWindow* help = HelpWindowInstance();
            return help && help->isVisible() ? help->CurrentContext() : -3;
        };
        test::FakeClock clock;
        TFormBook book(nullptr, {}, clock);
        QCOMPARE(pressF1(&book), kReading);
        // The bookmark menu holds the keyboard while it is open.
        book.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&book));
        book.Zakladka->popup(book.mapToGlobal(QPoint(40, 40)));
        QVERIFY(QTest::qWaitForWindowExposed(book.Zakladka));
        QTest::keyClick(book.Zakladka, Qt::Key_F1);
        QCOMPARE(HelpWindowInstance()->CurrentContext(), kBookmarks);
        QVERIFY(!book.Zakladka->isVisible());
        {
            TFormUserSetting settings(&book);
            for (int tab = 0; tab < 3; ++tab) {
                settings.PageControl1->setCurrentIndex(tab);
                QCOMPARE(pressF1(&settings), kSettingsMain + 10 * tab);
            }
        }
        RandomGenerator random{1};
        const auto own = [&](QWidget* window, int context) {
            window->setAttribute(Qt::WA_DeleteOnClose);
            QCOMPARE(pressF1(window), context);
            // Gone, and the help window given back to the main window, before the next one.
            const QPointer<QWidget> gone(window);
            window->close();
            QTRY_VERIFY(!gone);
        };
        own(new TFormStatistic(&book), kStatistics);
        own(new TFormFormatLXB(&book), kFormatTool);
        own(new TFormAbout(&book), kAbout);
        own(new TFormTables(&book, random), kTables);
        own(new TFormLine(&book, random), kWords);
    }

    void opensCentredOnItsWindowAndThenStaysWhereTheUserPutIt() {
        QWidget main;
        const QRect room = main.screen()->availableGeometry();
        QRect area(QPoint(), room.size() / 2);
        area.moveCenter(room.center() + QPoint(30, 30));  // the help window still fits the screen
        main.setGeometry(area);
        main.show();
        THelpWindow* help = Open(&main, help_context::kReading);
        // Within the frame, which a window only has once shown.
        const QPoint off = help->frameGeometry().center() - main.frameGeometry().center();
        QVERIFY(off.manhattanLength() <= 8);
        QVERIFY(help->screen()->availableGeometry().contains(help->frameGeometry()));

        help->move(10, 20);
        help->close();
        Open(&main, help_context::kReading);
        QCOMPARE(help->pos(), QPoint(10, 20));
        delete help;
    }

    void aModalDialogBorrowsTheWindowAndGivesItBack() {
        auto main = std::make_unique<QWidget>();
        main->show();
        THelpWindow* help = Open(main.get(), help_context::kReading);
        QCOMPARE(help->parentWidget(), main.get());

        // F1 in a modal dialog: the same window, now the dialog's, or the dialog would block it.
        auto* dialog = new QDialog(main.get());
        InstallHelpKey(dialog, help_context::kSettingsExtra);
        dialog->setWindowModality(Qt::ApplicationModal);
        dialog->show();
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        QTest::keyClick(dialog, Qt::Key_F1);
        QCOMPARE(HelpWindowInstance(), help);
        QCOMPARE(help->CurrentContext(), help_context::kSettingsExtra);
        QCOMPARE(help->parentWidget(), dialog);

        // The dialog closes and is freed; the help window stays open with the main window.
        dialog->hide();
        delete dialog;
        QCOMPARE(HelpWindowInstance(), help);
        QCOMPARE(help->parentWidget(), main.get());
        QTRY_VERIFY(help->isVisible());

        // A window the user closed stays closed when its dialog goes.
        help->close();
        auto* other = new QDialog(main.get());
        other->setWindowModality(Qt::ApplicationModal);
        other->show();
        help->AttachTo(other);
        QCOMPARE(help->parentWidget(), other);
        other->hide();
        delete other;
        QTRY_COMPARE(help->parentWidget(), main.get());
        QVERIFY(!help->isVisible());

        // Freed with its owner.
        main.reset();
        QVERIFY(!HelpWindowInstance());
    }
};

}  // namespace lectorix

QTEST_MAIN(lectorix::HelpWindowTest)
#include "help_window_test.moc"
