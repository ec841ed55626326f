// Lectorix: a speed-reading trainer.
#include <malloc.h>
#include <QApplication>
#include <QFile>
#include <QTimer>
#include <clocale>
#include <memory>

#include "app/bookmarks_window.h"
#include "app/exercises_window.h"
#include "app/form_about.h"
#include "app/form_book.h"
#include "app/format_tool_window.h"
#include "app/reading_statistics.h"
#include "app/unix_signals.h"
#include "app/user_settings_window.h"
#include "book/text_loader.h"
#include "exercises/form_line.h"
#include "exercises/form_tables.h"
#include "gui/app_setup.h"
#include "gui/dialogs.h"
#include "gui/program_icon.h"
#include "settings/form_user_setting.h"
#include "settings/program_settings.h"

int main(int argc, char** argv) {
    // Blocks of 256 KB and more (a book read, converted or laid out) are mapped on their own and
    // go back to the system when freed. Left to itself glibc raises that limit to the largest
    // block freed so far, and a book's temporaries then stay behind in the heap as holes.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    lectorix::PrepareDocumentModule();
    lectorix::PrepareWindowSystem();
    QApplication app(argc, argv);
    // Qt takes the user's locale for the C library; numbers are always written with a point.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Lectorix"));
    QApplication::setApplicationDisplayName(QStringLiteral("Lectorix"));
    QApplication::setDesktopFileName(QStringLiteral("lectorix"));
    QApplication::setWindowIcon(lectorix::ProgramIcon());
    if (!lectorix::InstallQtTranslations(app))
        qWarning("Qt's Russian translation is not installed: standard buttons stay in English");
    lectorix::InstallReadingFontSubstitutes();

    // The about window is the splash while the reader is set up.
    auto splash = std::make_unique<lectorix::TFormAbout>();
    splash->ShowAsSplash();

    // The settings are read before the reader is set up on them: from the per-user file, or
    // from the ini file beside the program.
    lectorix::ProgramSettings settings;
    settings.SetStore(lectorix::ChooseSettingsStore(
        QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString()));
    // A file that is no settings file is put aside before anything reads or overwrites it.
    std::string damagedSettings;
    try {
        damagedSettings = lectorix::SetAsideDamagedSettings(settings.Store().IniFileName);
    } catch (const lectorix::UserError& e) {
        damagedSettings = e.what();
    }
    lectorix::TFormBook form(nullptr, [&settings](lectorix::ReadingEngine& engine) {
        settings.LoadUserSettings(engine.Settings, engine.StepOverhead);
    });
    // The program's one random generator, for both exercises.
    lectorix::RandomGenerator random;
    random.SeedFromClock();
    lectorix::TFormTables tables(&form, random);
    lectorix::TFormUserSetting userSetting(&form);
    lectorix::TFormLine line(&form, random);
    lectorix::ConnectUserSettings(form, userSetting, settings);
    lectorix::ConnectReadingStatistics(form, settings, lectorix::ShowStatisticWindowFromModule);
    lectorix::ConnectBookmarks(form, settings, lectorix::LoadDocumentBytesFromModule);
    lectorix::ConnectFormatTool(form);
    lectorix::ConnectTableExercise(form, tables, settings);
    lectorix::ConnectWordExercise(form, line);
    const QStringList args = QApplication::arguments();
    if (args.size() > 1) form.SetCommandLineFile(args[1]);
    // Logging out or stopping the program from a terminal closes it as "Выход" does, so the
    // session is recorded, from any window; there is nobody to answer a question then.
    lectorix::InstallCloseOnTermination(form, [] { QCoreApplication::quit(); });

    splash.reset();
    form.showMaximized();
    // From the event loop, as every other box, so that a signal ends the program there too.
    if (!damagedSettings.empty())
        QTimer::singleShot(0, &form, [&form, damagedSettings] {
            lectorix::ShowWarning(&form, QString::fromUtf8(damagedSettings));
        });
    return QApplication::exec();
}
