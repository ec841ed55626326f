// The exercise windows headless, on a clock of the test's own; the word exercise's clock is
// ticked by hand.
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <set>

#include "gui/text_codec.h"

#include <QAction>
#include <QGroupBox>
#include <QRadioButton>
#include <QTabWidget>

#include "exercises/form_line.h"
#include "exercises/form_tables.h"
#include "gui/help_window.h"
#include "support/modal_window.h"
#include "support/scripted_dialogs.h"
#include "support/test_support.h"
#include "timer/qvl_thread_timer.h"

namespace lectorix {

class ExerciseWindowsTest : public QObject {
    Q_OBJECT

    // The table window at 1024 x 768, shown as the exercise shows it, on fake milliseconds.
    struct Tables {
        double now = 5.0e8;
        std::vector<double> finished;
        RandomGenerator random{1};
        TFormTables form{nullptr, random, [this] { return now; }};
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

    // The word window as the exercise shows it, its ticks given by the test.
    struct Words {
        RandomGenerator random{1};
        TFormLine form{nullptr, random};
        Words() {
            form.QvlThreadTimer2().SetOnTimer({});
            form.resize(1024, 768);
        }
        // One tick; returns the time it sets for what it shows.
        double Tick() {
            form.QvlThreadTimer2Timer();
            return form.QvlThreadTimer2().Interval();
        }
        QStringList Rows() const { return form.LabelWord->text().split(QLatin1Char('\n')); }
    };

    // A dictionary file of three lengths, `last3` the last line of the third.
    static std::string ThreeLengths(int last3) {
        return test::Cp(
            "<WORDSLENGTH1>\r\nА\r\nБ\r\n<WORDSLENGTH2>\r\nАД\r\nОН\r\n"
            "<WORDSLENGTH3>\r\nДОМ\r\nКОТ\r\n<WORDSLENGTH1>|1|2|\r\n"
            "<WORDSLENGTH2>|4|5|\r\n<WORDSLENGTH3>|7|" +
            std::to_string(last3) + "|\r\n<WORDSMENU>|3|\r\n");
    }

  private slots:
    void tableCellsSizesAndBounds() {
        Tables t;
        QCOMPARE(t.form.TableSize(), 8);
        QCOMPARE(t.form.CellLabels[0][0]->geometry(), QRect(192, 144, 128, 96));
        QCOMPARE(t.form.CellShapes[4][4]->geometry(), QRect(192 + 4 * 127, 144 + 4 * 95, 128, 96));
        QCOMPARE(t.form.CellLabels[1][1]->font().pointSize(), 48);
        QCOMPARE(t.form.ShapeGreenPoint->geometry(), QRect(496, 372, 27, 20));

        // Up makes the table larger, down smaller, on release; at 5 and at 20 it stays.
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
        RandomGenerator random;
        TFormTables form(nullptr, random, [&now] { return now; });
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

    void wordsOfTheBuiltInDictionaryInAColumnAndAHerringbone() {
        Words w;
        w.form.show();
        // Shown: the built-in dictionary's fifteen lengths are the maxima, 16 pulled down.
        QVERIFY(w.form.ActionStart->isEnabled() && !w.form.ActionStop->isEnabled());
        QVERIFY(w.form.Panel1->isVisible() && w.form.PanelParams->isVisible());
        QCOMPARE(w.form.RxSpinEditWords->maximum(), 15);
        QCOMPARE(w.form.RxSpinEditEnd->value(), 15);
        QVERIFY(w.form.LabelWord->text().isEmpty());

        w.form.RadioGroup1Column->setChecked(true);
        w.form.ActionStart->trigger();
        QVERIFY(w.form.QvlThreadTimer2().Enabled() && w.form.ActionStop->isEnabled());
        QCOMPARE(w.Tick(), 300.0);  // the pause before the column: nothing shown yet
        QVERIFY(w.form.LabelWord->text().isEmpty());
        QCOMPARE(w.Tick(), 240.0);
        QCOMPARE(w.Tick(), 240.0);
        const QStringList rows = w.Rows();
        QCOMPARE(rows.size(), 10);
        const DictionaryIndex& index = w.form.Dictionary.Index;
        for (int r = 0; r < 2; ++r) {
            QCOMPARE(rows[r].size(), 6);
            QCOMPARE(rows[r], rows[r].toLower());
            const std::string word = ToCp1251(rows[r].toUpper());
            const auto& lines = w.form.Dictionary.Lines;
            QVERIFY(std::find(lines.begin() + index.DictFirstLine[5],
                              lines.begin() + index.DictLastLine[5] + 1,
                              word) != lines.begin() + index.DictLastLine[5] + 1);
        }
        QCOMPARE(rows[2], QStringLiteral(" "));
        w.form.RxSpinEditSpeed->setValue(3000);
        QCOMPARE(w.Tick(), 120.0);  // a new speed from the next word on

        // The herringbone's first rows take six characters' time; the second mode renamed.
        w.form.ActionStopExecute();
        QVERIFY(!w.form.QvlThreadTimer2().Enabled());
        QVERIFY(w.form.LabelWord->text().size() > 0);  // the screen keeps what it shows
        w.form.PageControl1->setCurrentWidget(w.form.TabSheetPhyramid);
        QCOMPARE(w.form.RadioGroup1Column->text(), QStringLiteral("Ёлочка"));
        QVERIFY(w.form.RadioGroup1Column->isChecked());
        w.form.RxSpinEditSpeed->setValue(1500);
        w.form.ActionStart->trigger();
        QCOMPARE(w.Tick(), 300.0);
        QCOMPARE(w.Tick(), 240.0);
        QCOMPARE(w.Rows().size(), 15);
        QCOMPARE(w.Rows()[0].size(), 1);
        w.form.PageControl1->setCurrentWidget(w.form.TabSheetStandart);
        QCOMPARE(w.form.RadioGroup1Column->text(), QStringLiteral("Столбик"));

        // Closed by any means, the clock stops.
        w.form.close();
        QVERIFY(!w.form.QvlThreadTimer2().Enabled());
        QVERIFY(w.form.ActionStart->isEnabled() && !w.form.ActionStop->isEnabled());
    }

    void spansDictionaryFilesAndARefusedStart() {
        Words w;
        // Before any dictionary the maxima are 25: the span comes back to 22 either way.
        w.form.RxSpinEditEnd->setValue(25);
        QCOMPARE(w.form.RxSpinEditEnd->value(), 22);
        w.form.RxSpinEditEnd->setValue(25 - 3);
        w.form.RxSpinEditBegin->setValue(4);
        w.form.RxSpinEditEnd->setValue(25);
        w.form.RxSpinEditBegin->setValue(1);
        QCOMPARE(w.form.RxSpinEditBegin->value(), 4);
        QCOMPARE(w.form.RxSpinEditStolbik->maximum(), 22);

        w.form.show();
        test::TempDir dir;
        test::ScriptedDialogs dialogs;
        test::CaughtWarnings warnings;
        dialogs.fileNames = {QString::fromStdString(dir.Write("three.dict", ThreeLengths(8))),
                             QString::fromStdString(dir.Write("bad.dict", ThreeLengths(80)))};
        w.form.ActionOpen->trigger();
        QVERIFY2(warnings.told.isEmpty(), qPrintable(warnings.told.join('\n')));
        QVERIFY(dialogs.filters.value(0).contains(QStringLiteral("*.dict")));
        // A smaller dictionary lowers the maxima and the values above them.
        for (TRxSpinEdit* spin :
             {w.form.RxSpinEditWords, w.form.RxSpinEditEnd, w.form.RxSpinEditBegin})
            QCOMPARE(spin->maximum(), 3);
        QCOMPARE(w.form.RxSpinEditWords->value(), 3);
        QCOMPARE(w.form.RxSpinEditEnd->value(), 3);
        // One whose index points past its text is refused, and the one in use stays.
        w.form.ActionOpen->trigger();
        QCOMPARE(warnings.told.size(), 1);
        QVERIFY2(warnings.told[0].contains(QStringLiteral("bad.dict")),
                 qPrintable(warnings.told[0]));
        QCOMPARE(w.form.Dictionary.Index.DictLengthCount, 3);

        // "Символов в начале" above "в конце" starts nothing.
        w.form.PageControl1->setCurrentWidget(w.form.TabSheetPhyramid);
        w.form.RxSpinEditEnd->setValue(2);
        w.form.RxSpinEditBegin->setValue(3);
        w.form.ActionStart->trigger();
        QCOMPARE(warnings.told.size(), 2);
        QVERIFY(!w.form.QvlThreadTimer2().Enabled() && w.form.ActionStart->isEnabled());

        // The panel hidden and back with F11; shown again, the built-in dictionary is back.
        w.form.ActionHideAll->trigger();
        QVERIFY(!w.form.Panel1->isVisible());
        w.form.activateWindow();
        QTRY_VERIFY(w.form.isActiveWindow());
        QTest::keyRelease(w.form.RxSpinEditSpeed, Qt::Key_F11);
        QVERIFY(w.form.Panel1->isVisible());
        QTest::keyClick(w.form.RxSpinEditSpeed, Qt::Key_F1);
        QVERIFY(HelpWindowInstance() &&
                HelpWindowInstance()->CurrentContext() == help_context::kWords);
        w.form.hide();
        w.form.show();
        QCOMPARE(w.form.Dictionary.Index.DictLengthCount, 15);
        QCOMPARE(w.form.RxSpinEditWords->maximum(), 15);
    }
};

}  // namespace lectorix

QTEST_MAIN(lectorix::ExerciseWindowsTest)
#include "exercise_windows_test.moc"
