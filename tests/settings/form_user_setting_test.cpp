// The settings dialog: its ranges, hidden controls and the font box that only keeps its own
// items.
#include "settings/form_user_setting.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include "settings/settings_storages.h"

namespace lectorix {

class FormUserSettingTest : public QObject {
    Q_OBJECT

  private slots:
    void rangesAndHiddenControls() {
        TFormUserSetting form;
        form.RxSpinEditSpeedWords->setValue(-5);  // the speed has no range to leave
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
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(!form.RxSpinEditCountString->isVisible() &&
                !form.RxSpinEditCountString->isEnabled() && !form.ComboBoxFontSize->isVisible());
    }

    void aFontNameThatIsNotInTheListGoesBack() {
        TFormUserSetting form;
        QComboBox* box = form.ComboBoxFontName;
        // Typed and left with Tab, as the user does it.
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.PageControl1->setCurrentIndex(2);
        box->lineEdit()->setFocus();
        box->lineEdit()->selectAll();
        QTest::keyClicks(box->lineEdit(), QStringLiteral("Arial"));
        QTest::keyClick(box->lineEdit(), Qt::Key_Tab);
        QCOMPARE(box->currentText(), QStringLiteral("Courier New"));
        // Back to the item chosen, not the first; an item stays as typed.
        box->setCurrentIndex(1);
        box->setEditText(QStringLiteral("Arial"));
        TFormUserSetting::ComboBoxFontNameChange(box);
        QCOMPARE(box->currentText(), QStringLiteral("Lucida Console"));
        box->setEditText(QStringLiteral("Courier New"));
        TFormUserSetting::ComboBoxFontNameChange(box);
        QCOMPARE(box->currentText(), QStringLiteral("Courier New"));
    }
};

}  // namespace lectorix

QTEST_MAIN(lectorix::FormUserSettingTest)
#include "form_user_setting_test.moc"
