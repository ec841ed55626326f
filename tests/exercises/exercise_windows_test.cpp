// The exercise windows headless, on a clock of the test's own.
#include <QApplication>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <set>

#include "exercises/form_tables.h"
#include "support/modal_window.h"

namespace lectorix {

class ExerciseWindowsTest : public QObject {
    Q_OBJECT

    // The table window at 1024 x 768, shown as the exercise shows it, on fake milliseconds.
    struct Tables {
        double now = 5.0e8;
        std::vector<double> finished;
        TFormTables form{nullptr, [this] { return now; }};
        Tables() {
            form.OnTableFinished = [this](double s) { finished.push_back(s); };
            form.resize(1024, 768);
            form.show();
        }
        QString Cell(int i, int j) const { return form.CellLabels[i][j]->text(); }
        void Release(Qt::Key key) { QTest::keyRelease(&form, key); }
    };

    // Every number 1 to 24 once, the centre empty.
    static bool HoldsOneTo24(const Tables& t) {
        std::set<int> seen;
        for (int i = 0; i < kTableCells; ++i)
            for (int j = 0; j < kTableCells; ++j) {
                const QString text = t.Cell(i, j);
                if (i == kTableCentre && j == kTableCentre) {
                    if (!text.isEmpty()) return false;
                    continue;
                }
                seen.insert(text.toInt());
            }
        return seen.size() == 24 && *seen.begin() == 1 && *seen.rbegin() == 24;
    }

  private slots:
    void tableCellsSizesAndBounds() {
        Tables t;
        QCOMPARE(t.form.TableSize(), 8);
        QCOMPARE(t.form.CellLabels[0][0]->geometry(), QRect(192, 144, 128, 96));
        QCOMPARE(t.form.CellShapes[4][4]->geometry(), QRect(192 + 4 * 127, 144 + 4 * 95, 128, 96));
        QCOMPARE(t.form.CellLabels[1][1]->font().pointSize(), 48);
        QCOMPARE(t.form.ShapeGreenPoint->geometry(), QRect(496, 372, 27, 20));
        qInfo("numbers drawn in %s",
              qPrintable(QFontInfo(t.form.CellLabels[0][0]->font()).family()));

        // Up makes the table larger, down smaller, on release; at 5 it stays.
        const QString first = t.Cell(0, 0);
        for (int i = 0; i < 4; ++i)
            t.Release(Qt::Key_Up);
        QCOMPARE(t.form.TableSize(), 5);
        QCOMPARE(t.form.CellLabels[0][0]->geometry(), QRect(2, 1, 204, 153));
        QCOMPARE(t.form.CellLabels[0][0]->font().pointSize(), 76);
        QTest::keyPress(&t.form, Qt::Key_Down);  // a press alone does nothing
        QCOMPARE(t.form.TableSize(), 5);
        QWheelEvent down(QPointF(500, 400), QPointF(500, 400), {}, QPoint(0, -120), Qt::NoButton,
                         Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&t.form, &down);
        QCOMPARE(t.form.TableSize(), 5);
        QCOMPARE(t.form.CellLabels[0][0]->geometry(), QRect(2, 1, 204, 153));
        QCOMPARE(t.Cell(0, 0), first);  // sizes keep the numbers
        for (int i = 0; i < 20; ++i)
            t.Release(Qt::Key_Down);
        QCOMPARE(t.form.TableSize(), 20);
        QCOMPARE(t.form.CellLabels[0][0]->geometry(), QRect(384, 289, 51, 38));
    }

    void tablesRenewedByTheUserAreTimedAndTheMinuteRenewsByItself() {
        Tables t;
        QVERIFY(HoldsOneTo24(t));
        QVERIFY(
            t.form.LabelStatistic->text().endsWith(QStringLiteral("Потрачено времени 0:00:00")));
        t.now += 37400;
        t.form.Timer2Timer();
        QCOMPARE(t.form.LabelTime->text(), QStringLiteral("37"));
        t.Release(Qt::Key_Return);
        QCOMPARE(t.form.windowTitle(),
                 QStringLiteral("Упражнение таблицы Тарвина. Потрачено времени 0:00:37"));
        QCOMPARE(t.form.LabelStatistic->text(),
                 QStringLiteral("Обновить (Enter, Пробел), Закрыть (Esc), Размер (Up/Down). "
                                "Упражнение таблицы Тарвина. Потрачено времени 0:00:37"));
        QCOMPARE(t.finished, std::vector<double>{37.4});
        QCOMPARE(t.form.LabelTime->text(), QStringLiteral("0"));
        QVERIFY(HoldsOneTo24(t));

        // Left alone, the table is replaced at the minute, and that is no finished table.
        const TableNumbers before = t.form.CellNumbers();
        t.now += 59950;
        t.form.Timer1Timer();
        QCOMPARE(t.form.CellNumbers(), before);
        t.now += 100;
        t.form.Timer1Timer();
        QVERIFY(t.form.CellNumbers() != before);
        QVERIFY(t.form.windowTitle().endsWith(QStringLiteral("Превышение лимита времени.")));
        QCOMPARE(t.finished.size(), size_t(1));
        // Space and the menu renew too; a key held down renews once.
        t.now += 20000;
        t.Release(Qt::Key_Space);
        QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(&t.form, &repeat);
        QCOMPARE(t.finished, (std::vector<double>{37.4, 20}));
        t.now += 15000;
        t.form.ItemRenew->trigger();
        QCOMPARE(t.finished.size(), size_t(3));
        QVERIFY(HoldsOneTo24(t));
    }

    void thePointerHidesAfterTheMouseRestsAndEscClosesStoppingTheTimers() {
        double now = 1000;
        TFormTables form(nullptr, [&now] { return now; });
        int answered = test::AnswerModal<TFormTables>(
            [&] { form.ShowTableExercise(10); },
            [&](TFormTables& w) {
                QVERIFY(w.Timer1.isActive() && w.Timer2.isActive());
                QCOMPARE(w.LabelTime->font().pointSize(), 5);
                QVERIFY(w.windowTitle().endsWith(QStringLiteral("Потрачено времени 0:00:00")));
                QTest::mouseMove(&w, QPoint(300, 300));
                QVERIFY(!w.PointerHidden());
                now += 60;
                w.Timer1Timer();
                QVERIFY(!w.PointerHidden());
                now += 50;
                w.Timer1Timer();
                QVERIFY(w.PointerHidden());
                QTest::keyPress(&w, Qt::Key_Escape);
                QVERIFY(w.isVisible());  // keys act on release
                QTest::keyRelease(&w, Qt::Key_Escape);
                QVERIFY(!w.isVisible());
            });
        QCOMPARE(answered, 1);
        QVERIFY(!form.Timer1.isActive() && !form.Timer2.isActive());
    }
};

}  // namespace lectorix

QTEST_MAIN(lectorix::ExerciseWindowsTest)
#include "exercise_windows_test.moc"
