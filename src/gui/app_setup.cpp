#include "gui/app_setup.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTranslator>

namespace lectorix {

bool InstallQtTranslations(QCoreApplication& app) {
    // Qt's own texts that are not translations (file types in the file dialogs) follow the
    // default locale.
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    auto* translator = new QTranslator(&app);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"),
                          QStringLiteral("_"), folder)) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

namespace {
// The installed faces each offered name falls back to, best first.
QStringList ReadingFontFaces(const QString& family) {
    // Liberation Mono is drawn to Courier New's metrics; DejaVu Sans Mono has Lucida Console's
    // open shapes and the same advance (0.6 em), so both names give pages of one size.
    if (family == QLatin1String("Courier New"))
        return {QStringLiteral("Liberation Mono"), QStringLiteral("Nimbus Mono PS"),
                QStringLiteral("DejaVu Sans Mono")};
    if (family == QLatin1String("Lucida Console"))
        return {QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Liberation Mono")};
    return {};
}

}  // namespace

void InstallReadingFontSubstitutes() {
    for (const QString& family :
         {QStringLiteral("Courier New"), QStringLiteral("Lucida Console")}) {
        // A machine that has the real face keeps it.
        if (QFontDatabase::hasFamily(family)) continue;
        QStringList installed;
        for (const QString& face : ReadingFontFaces(family))
            if (QFontDatabase::hasFamily(face)) installed << face;
        QFont::insertSubstitutions(family, installed);
    }
}

}  // namespace lectorix
