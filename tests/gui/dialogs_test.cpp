// The dialog seam: errors at a window's action boundary reach the user (or the log), file
// filters match names in either case, and boxes stand over the window they belong to.
#include "gui/dialogs.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <stdexcept>

#include "book/text_loader.h"
#include "support/modal_window.h"
#include "support/scripted_dialogs.h"

namespace lectorix {

class DialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void aUserErrorIsShownOnceAndTheActionReportsIt() {
        test::CaughtWarnings warnings;
        const QStringList& told = warnings.told;
        QWidget window;
        int runs = 0;
        QVERIFY(ReportUserError(&window, [&] { ++runs; }));
        QCOMPARE(runs, 1);
        QVERIFY(told.isEmpty());

        QVERIFY(!ReportUserError(&window, [] { throw UserError("Файл «a.txt» не найден."); }));
        QCOMPARE(told, QStringList{QStringLiteral("Файл «a.txt» не найден.")});

        // Without a window the message goes to the log, not to a box nobody would see.
        QTest::ignoreMessage(QtWarningMsg, "Диск полон.");
        QVERIFY(!ReportUserError(nullptr, [] { throw UserError("Диск полон."); }));
        QCOMPARE(told.size(), 1);

        // Only the user's errors are reported; a fault of the program is not swallowed.
        QVERIFY_THROWS_EXCEPTION(std::logic_error,
                                 ReportUserError(&window, [] { throw std::logic_error("bug"); }));
    }

    // The bookmark question at start-up comes while the maximized main window still has its
    // first, small frame: the box stood over that corner instead of over the window.
    void boxesOverAMaximizedWindowStandInItsMiddleBeforeItHasItsSize() {
        QWidget owner;
        owner.setGeometry(0, 0, 320, 200);
        owner.setWindowState(Qt::WindowMaximized);  // asked for, not yet carried out
        const QPoint middle = QGuiApplication::primaryScreen()->availableGeometry().center();
        QStringList shown;
        auto answer = [&](QMessageBox& box) {
            shown << box.text();
            QVERIFY2((box.frameGeometry().center() - middle).manhattanLength() <= 4,
                     qPrintable(box.text()));
            box.reject();
        };
        test::AnswerModal<QMessageBox>(
            [&] {
                AskQuestion(&owner, QStringLiteral("Закладка"),
                            QStringLiteral("Открыть последний текст?"), false);
            },
            answer);
        test::AnswerModal<QMessageBox>(
            [&] { ShowWarning(&owner, QStringLiteral("Файл настроек повреждён.")); }, answer);
        QCOMPARE(shown, (QStringList{QStringLiteral("Открыть последний текст?"),
                                     QStringLiteral("Файл настроек повреждён.")}));

        // An ordinary window keeps the usual place, over its own frame.
        owner.setWindowState(Qt::WindowNoState);
        QVERIFY(!OwnerArea(&owner));
    }

    void filtersTakeEachMaskInBothCases() {
        QCOMPARE(QtFileFilter(QStringLiteral("Книги|*.LXB; *.txt|Все|*.*")),
                 QStringLiteral("Книги (*.lxb *.LXB *.txt *.TXT);;Все (*.*)"));
    }
};

}  // namespace lectorix

QTEST_MAIN(lectorix::DialogsTest)
#include "dialogs_test.moc"
