// The settings dialog: its tabs, ranges and the font box that only keeps its own items, and
// the dialog in the program: OK and Cancel against the store and the reading window.
#include "settings/form_user_setting.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "app/form_book.h"
#include "app/user_settings_window.h"
#include "book/text_loader.h"
#include "gui/dialogs.h"
#include "settings/program_settings.h"
#include "support/test_support.h"

namespace lectorix {

// The program's start-up on a store of the test's own: the settings read before the reader
// is set up, the dialog plugged into the main window.
struct Program {
    explicit Program(std::string iniFile) : ini(std::move(iniFile)) {
        ConnectUserSettings(form, dialog, settings);
    }
    std::string ini;
    ProgramSettings settings;
    TFormBook form{nullptr, [this](ReadingEngine& e) {
                       settings.SetStore({ini, false});
                       settings.LoadUserSettings(e.Settings, e.StepOverhead);
                   }};
    TFormUserSetting dialog{&form};

    // Opens "Свойства"; `edit` runs in the open dialog, then `button` closes it.
    void Properties(const std::function<void(TFormUserSetting&)>& edit, bool ok) {
        QTimer::singleShot(0, &dialog, [this, edit, ok] {
            QVERIFY(dialog.isVisible());
            edit(dialog);
            QTest::mouseClick(ok ? dialog.OKBtn : dialog.CancelBtn, Qt::LeftButton);
        });
        form.ActionUserProperties->trigger();
    }
};

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
            const auto* spin = form.findChild<QSpinBox*>(name);
            QVERIFY2(spin, qPrintable(name));
            QCOMPARE(spin->minimum(), static_cast<int>(p.Min));
            QCOMPARE(spin->maximum(), static_cast<int>(p.Max));
        }
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

    void okSavesAndAppliesCancelPutsTheStoredValuesBack() {
        test::TempDir dir;
        const std::string ini = dir.Write(
            "lectorix.ini",
            "[UserSetting]\r\nRxSpinEditSpeedWords_Value=1500\r\nAccess=1115080c1b14\r\n");
        Program p(ini);
        ReadingEngine& e = p.form.Engine();
        QCOMPARE(e.Settings.SpeedCpm, 1500);
        p.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&p.form));
        QVERIFY(p.form.ActionConvert->isVisible());  // "Access" is the scrambled code

        // The speed keys' speed is what the dialog opens on; Cancel goes back to the stored one.
        p.form.ActionSpeedNext->trigger();
        QCOMPARE(e.Settings.SpeedCpm, 1550);
        p.Properties(
            [](TFormUserSetting& d) {
                QCOMPARE(d.RxSpinEditSpeedWords->value(), 1550);
                d.RxSpinEditCountLetter->setValue(30);
            },
            false);
        QCOMPARE(e.Settings.SpeedCpm, 1500);
        QCOMPARE(e.Settings.CharsPerLine, 22);
        QCOMPARE(ReadFileBytes(ini).find("RxSpinEditCountLetter"), std::string::npos);

        const int width = p.form.Painter().PageWidth;
        p.Properties([](TFormUserSetting& d) { d.RxSpinEditCountLetter->setValue(30); }, true);
        QCOMPARE(e.Settings.CharsPerLine, 30);
        QCOMPARE(e.Settings.SpeedCpm, 1500);
        QVERIFY(p.form.Painter().PageWidth > width);
        const std::string saved = ReadFileBytes(ini);
        QVERIFY(saved.find("RxSpinEditCountLetter_Value=30\r\n") != std::string::npos);
        QVERIFY(saved.find("Access=1115080c1b14\r\n") != std::string::npos);
        QVERIFY(saved.find("PopravkaSpeed=0.965\r\n") != std::string::npos);
    }

    void aFailedSaveIsShownAndTheNewValuesStayInUse() {
        test::TempDir dir;
        const std::string ini = dir.Write("blocker", "x") + "/lectorix.ini";
        Program p(ini);
        QStringList told;
        SetWarningHandler([&](const QString& t) { told << t; });
        p.Properties([](TFormUserSetting& d) { d.RxSpinEditOpenString->setValue(9); }, true);
        SetWarningHandler({});
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].contains(QString::fromStdString(ini)), qPrintable(told[0]));
        QCOMPARE(p.form.Engine().Settings.OpenLines, 9);
    }
};

}  // namespace lectorix

QTEST_MAIN(lectorix::FormUserSettingTest)
#include "form_user_setting_test.moc"
