// The progress window of long loads: nothing for a quick load, the window with the real share
// once a load lasts, and gone when the load ends.
#include "gui/form_rar.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>

namespace lectorix {

class FormRarTest : public QObject {
    Q_OBJECT

  private slots:
    void aLongLoadShowsItsShareCentredUntilItEndsAQuickOneNothing() {
        double ms = 0;
        ProgressWindow progress(nullptr, [&ms] { return ms; });
        progress.ShowProgressWindow(100, QStringLiteral("Загрузка книги"));
        for (int p = 0; p <= 100; p += 10, ms += 10)
            progress.SetProgress(p);
        QVERIFY(!progress.Window());
        progress.CloseProgressWindow();

        progress.ShowProgressWindow(40, QStringLiteral("Загрузка содержания"));
        progress.SetProgress(1);
        QVERIFY(!progress.Window());
        ms += ProgressWindow::kShowAfterMs;
        progress.SetProgress(10);
        TFormRAR* form = progress.Window();
        QVERIFY(form && form->isVisible());
        // Wide enough for the frame to show the caption whole (it showed "Загр..."), the bar
        // centred across it.
        QFont bold = form->font();
        bold.setBold(true);
        QVERIFY(form->width() >=
                QFontMetrics(bold).horizontalAdvance(form->windowTitle()) + 3 * 16 + 16);
        const QRect bar = form->ProgressBar1->geometry();
        QCOMPARE(bar.left(), form->width() - 1 - bar.right());
        QVERIFY(bar.width() >= form->width() - 20);
        QCOMPARE(form->ProgressBar1->value(), 10);
        const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
        QVERIFY((form->frameGeometry().center() - centre).manhattanLength() <= 2);
        progress.SetProgress(400);  // never past the end
        QCOMPARE(form->ProgressBar1->value(), 40);
        progress.CloseProgressWindow();
        QVERIFY(!progress.Window());
    }

    // Esc or "Отмена" asks the work to stop (Esc used to hide the window while the load went
    // on); Enter, the reader's start key, does not.
    void aLoadThatCanBeCancelledHasItsButtonAndEsc() {
        for (const bool byButton : {false, true}) {
            double ms = 0;
            ProgressWindow progress(nullptr, [&ms] { return ms; });
            progress.SetCancellable(true);
            int asked = 0;
            progress.OnCancel = [&] { ++asked; };
            progress.ShowProgressWindow(0, QStringLiteral("Загрузка книги"));
            ms += ProgressWindow::kShowAfterMs;
            progress.SetProgress(0);
            TFormRAR* form = progress.Window();
            QVERIFY(form && form->ButtonCancel);
            QCOMPARE(form->ButtonCancel->text(), QStringLiteral("Отмена"));
            QVERIFY(form->rect().contains(form->ButtonCancel->geometry()));
            const QRect button = form->ButtonCancel->geometry();
            QVERIFY(qAbs(button.left() - (form->width() - 1 - button.right())) <= 1);
            QCOMPARE(form->ProgressBar1->maximum(), 0);  // no share told: the bar only runs
            QTest::keyClick(form, Qt::Key_Return);
            QVERIFY(!progress.Cancelled());
            if (byButton) {
                QTest::mouseClick(form->ButtonCancel, Qt::LeftButton);
            } else {
                QTest::keyClick(form, Qt::Key_Escape);
            }
            QVERIFY(progress.Cancelled());
            QCOMPARE(asked, 1);
            QVERIFY(progress.Window() && !form->isVisible());
        }
    }

    void theWindowThatWaitedHasTheKeyboardAgainAfterwards() {
        // Without it no window had the keyboard after a long jump, and the reader's keys did
        // nothing until a click.
        QWidget owner;
        owner.show();
        QApplication::setActiveWindow(&owner);
        QVERIFY(QTest::qWaitForWindowActive(&owner));
        double ms = 0;
        {
            ProgressWindow progress(&owner, [&ms] { return ms; });
            progress.ShowProgressWindow(10, QStringLiteral("Переход к странице"));
            ms += ProgressWindow::kShowAfterMs;
            progress.SetProgress(5);
            QVERIFY(progress.Window());
            QTRY_VERIFY(progress.Window()->isActiveWindow());
        }
        QTRY_VERIFY(owner.isActiveWindow());
    }
};

}  // namespace lectorix

QTEST_MAIN(lectorix::FormRarTest)
#include "form_rar_test.moc"
