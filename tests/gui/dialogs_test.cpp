// The dialog seam: errors at a window's action boundary reach the user (or the log), and file
// filters match names in either case.
#include "gui/dialogs.h"

#include <QTest>
#include <QWidget>
#include <stdexcept>

#include "book/text_loader.h"

namespace lectorix {

class DialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() { SetWarningHandler({}); }

    void aUserErrorIsShownOnceAndTheActionReportsIt() {
        QStringList told;
        SetWarningHandler([&](const QString& text) { told << text; });
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

    void filtersTakeEachMaskInBothCases() {
        QCOMPARE(QtFileFilter(QStringLiteral("Книги|*.LXB; *.txt|Все|*.*")),
                 QStringLiteral("Книги (*.lxb *.LXB *.txt *.TXT);;Все (*.*)"));
    }
};

}  // namespace lectorix

QTEST_MAIN(lectorix::DialogsTest)
#include "dialogs_test.moc"
