// The settings in the program: the dialog's OK and Cancel, the CPU test's figure, against the
// store and the reading window.
#include "app/user_settings_window.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>

#include "app/form_book.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "settings/form_user_setting.h"
#include "settings/program_settings.h"
#include "support/hand_ticks.h"
#include "support/modal_window.h"
#include "support/scripted_dialogs.h"
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
    test::FakeClock clock;
    TFormBook form{nullptr,
                   [this](ReadingEngine& e) {
                       settings.SetStore({ini, false});
                       settings.LoadUserSettings(e.Settings, e.StepOverhead);
                   },
                   clock};
    TFormUserSetting dialog{&form};

    // Opens "Свойства"; `edit` runs in the open dialog, then OK or Cancel closes it.
    void Properties(const std::function<void(TFormUserSetting&)>& edit, bool ok) {
        const int shown = test::AnswerModal<TFormUserSetting>(
            [this] { form.ActionUserProperties->trigger(); },
            [&](TFormUserSetting& d) {
                edit(d);
                QTest::mouseClick(ok ? d.OKBtn : d.CancelBtn, Qt::LeftButton);
            });
        QCOMPARE(shown, 1);
    }
};

class UserSettingsWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void okSavesAndAppliesCancelPutsTheStoredValuesBackAndTheTextIsLaidOutAgain() {
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
        QVERIFY(p.form.Painter().PageWidth > width);
        const std::string saved = ReadFileBytes(ini);
        QVERIFY(saved.find("RxSpinEditCountLetter_Value=30\r\n") != std::string::npos);
        QVERIFY(saved.find("Access=1115080c1b14\r\n") != std::string::npos);

        // The paragraph setting lays the open text out again.
        std::string story = test::Cp("Хамелеон\r\n— Кто?\r\n");
        for (int i = 0; i < 30; ++i)
            story += test::Cp("Через базарную площадь. ");
        p.form.OpenText(story);
        QCOMPARE(e.Memo.Lines.at(1), test::Cp("  — Кто? "));
        p.Properties([](TFormUserSetting& d) { d.ComboBoxParagraphs->setCurrentIndex(2); }, true);
        const std::string first = e.Memo.Lines.at(0);  // justified, one paragraph
        QVERIFY2(first.starts_with(test::Cp("  Хамелеон ")) &&
                     first.find(test::Cp(" Кто? ")) != std::string::npos,
                 test::Utf(first).c_str());

        // The night mode repaints the page and the contents panel at OK, and back.
        for (const bool night : {true, false}) {
            p.Properties([night](TFormUserSetting& d) { d.CheckBoxNightMode->setChecked(night); },
                         true);
            const PagePalette& colors = night ? NightPalette() : DayPalette();
            QCOMPARE(p.form.Painter().Composed().pixelColor(15, 60), colors.Page);
            QCOMPARE(p.form.TreeView1->palette().color(QPalette::Base), colors.Page);
        }
    }

    void theCpuTestsFigureIsStoredBesideTheRestAndShown() {
        test::TempDir dir;
        const std::string ini = dir.Write("lectorix.ini", "[UserSetting]\r\nAccess=\r\n");
        Program p(ini);
        test::HandTicks ticks(p.form, p.clock);
        p.form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&p.form));
        p.form.OpenText(test::Story(30));
        // The letter count's caption comes first, so it cannot cover the test's figure.
        QTRY_VERIFY(p.form.windowTitle().contains(QStringLiteral("Всего знаков")));
        p.form.ActionCPUTest->trigger();
        // Five laps of the page's travel on the window's own clock.
        QCOMPARE(ticks.RunCpuTest(0.05), 5 * p.form.Engine().CpuTestLaps);
        const std::string stored = ReadFileBytes(ini);
        QVERIFY(stored.starts_with("[UserSetting]\r\nAccess=\r\n"));
        QVERIFY2(stored.find("PopravkaSpeed=" + ShortestDecimal(p.form.Engine().StepOverhead) +
                             "\r\n") != std::string::npos,
                 stored.c_str());
        QVERIFY2(p.form.windowTitle().startsWith(QStringLiteral("Тест быстродействия: ")),
                 qPrintable(p.form.windowTitle()));
    }

    void aFailedSaveIsShownAndTheNewValuesStayInUse() {
        test::TempDir dir;
        const std::string ini = dir.Write("blocker", "x") + "/lectorix.ini";
        Program p(ini);
        test::CaughtWarnings warnings;
        p.Properties([](TFormUserSetting& d) { d.RxSpinEditOpenString->setValue(9); }, true);
        const QStringList told = warnings.told;
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].contains(QString::fromStdString(ini)), qPrintable(told[0]));
        QCOMPARE(p.form.Engine().Settings.OpenLines, 9);
    }
};

}  // namespace lectorix

QTEST_MAIN(lectorix::UserSettingsWindowTest)
#include "user_settings_window_test.moc"
