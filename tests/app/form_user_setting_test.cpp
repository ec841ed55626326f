// The settings dialog: its tabs, ranges and the font box that only keeps its own items.
#include "settings/form_user_setting.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

namespace lectorix {

class FormUserSettingTest : public QObject {
    Q_OBJECT

  private slots:
    void tabsRangesAndHiddenControls() {
        TFormUserSetting form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Свойства"));
        QCOMPARE(form.PageControl1->count(), 3);
        QCOMPARE(form.PageControl1->tabText(0), QStringLiteral("Основные"));
        QCOMPARE(form.PageControl1->tabText(1), QStringLiteral("Дополнительные"));
        QCOMPARE(form.PageControl1->tabText(2), QStringLiteral("Шрифт"));
        // 50 open lines are clamped to 20; a speed of -5 has no range to leave.
        form.RxSpinEditOpenString->setValue(50);
        QCOMPARE(form.RxSpinEditOpenString->value(), 20);
        form.RxSpinEditSpeedWords->setValue(-5);
        QCOMPARE(form.RxSpinEditSpeedWords->value(), -5);
        QCOMPARE(form.RxSpinEditSpeedWords->singleStep(), 50);
        QCOMPARE(form.RxSpinEditCountLetter->minimum(), 8);
        QCOMPARE(form.RxSpinEditCountLetter->maximum(), 80);
        QCOMPARE(form.RxSpinEditCountLetter->singleStep(), 2);
        QCOMPARE(form.RxSpinEditBeginSleep->minimum(), 10);
        QCOMPARE(form.RxSpinEditBeginSleep->maximum(), 3000);
        QCOMPARE(form.RxSpinEditCountShowOnePage->maximum(), 20);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(!form.RxSpinEditCountString->isVisible());
        QVERIFY(!form.RxSpinEditCountString->isEnabled());
        QVERIFY(!form.ComboBoxFontSize->isVisible());
        QCOMPARE(form.OKBtn->text(), QStringLiteral("&ОК"));
        QCOMPARE(form.CancelBtn->text(), QStringLiteral("О&тмена"));
        QVERIFY(form.OKBtn->isDefault());
        // F1 opens the page of the tab shown.
        for (int tab = 0; tab < 3; ++tab) {
            form.PageControl1->setCurrentIndex(tab);
            QCOMPARE(form.CurrentHelpContext(), 130 + 10 * tab);
        }
    }

    void aFontNameThatIsNotInTheListGoesBack() {
        TFormUserSetting form;
        QComboBox* box = form.ComboBoxFontName;
        box->setEditText(QStringLiteral("Arial"));
        TFormUserSetting::ComboBoxFontNameChange(box);
        QCOMPARE(box->currentText(), QStringLiteral("Courier New"));
        box->setCurrentIndex(1);
        box->setEditText(QStringLiteral("Arial"));
        TFormUserSetting::ComboBoxFontNameChange(box);
        QCOMPARE(box->currentText(), QStringLiteral("Lucida Console"));
        box->setEditText(QStringLiteral("Courier New"));  // an item stays as typed
        TFormUserSetting::ComboBoxFontNameChange(box);
        QCOMPARE(box->currentText(), QStringLiteral("Courier New"));
        // Typed and left with Tab, as the user does it.
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.PageControl1->setCurrentIndex(2);
        box->lineEdit()->setFocus();
        box->lineEdit()->selectAll();
        QTest::keyClicks(box->lineEdit(), QStringLiteral("Arial"));
        QTest::keyClick(box->lineEdit(), Qt::Key_Tab);
        QVERIFY(box->currentText() != QStringLiteral("Arial"));
    }
};

}  // namespace lectorix

QTEST_MAIN(lectorix::FormUserSettingTest)
#include "form_user_setting_test.moc"
