// The settings dialog: its tabs, ranges and the font box that only keeps its own items.
#include "settings/form_user_setting.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include "settings/settings_storages.h"

namespace lectorix {

class FormUserSettingTest : public QObject {
    Q_OBJECT

  private slots:
    void tabsRangesAndHiddenControls() {
        TFormUserSetting form;
        QCOMPARE(form.PageControl1->count(), 3);
        // 50 open lines are clamped to 20; a speed of -5 has no range to leave.
        form.RxSpinEditOpenString->setValue(50);
        QCOMPARE(form.RxSpinEditOpenString->value(), 20);
        form.RxSpinEditSpeedWords->setValue(-5);
        QCOMPARE(form.RxSpinEditSpeedWords->value(), -5);
        // The dialog offers exactly the range the store clamps to.
        for (const StoredProperty& p : FormStorage1Properties()) {
            if (p.Kind != StoredKind::Spin || (p.Min == 0 && p.Max == 0)) continue;
            const QString name = QString::fromLatin1(p.Name).section(QLatin1Char('.'), 0, 0);
            if (const auto* box = form.findChild<QComboBox*>(name)) {  // an item index
                QCOMPARE(0, static_cast<int>(p.Min));
                QCOMPARE(box->count() - 1, static_cast<int>(p.Max));
                continue;
            }
            const auto* spin = form.findChild<QSpinBox*>(name);
            QVERIFY2(spin, qPrintable(name));
            QCOMPARE(spin->minimum(), static_cast<int>(p.Min));
            QCOMPARE(spin->maximum(), static_cast<int>(p.Max));
        }
        QVERIFY(form.TabSheet2->isAncestorOf(form.ComboBoxParagraphs));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(!form.RxSpinEditCountString->isVisible());
        QVERIFY(!form.RxSpinEditCountString->isEnabled());
        QVERIFY(!form.ComboBoxFontSize->isVisible());
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
