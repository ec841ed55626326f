#include "gui/icon_theme.h"

#include <QByteArray>
#include <QStringList>

namespace lectorix {

void InstallIconTheme() {
    // Without a desktop session Qt may know neither a theme nor where themes live.
    QStringList paths = QIcon::themeSearchPaths();
    const QByteArray dirs = qgetenv("XDG_DATA_DIRS");
    const QStringList dataDirs =
        QString::fromLocal8Bit(dirs.isEmpty() ? QByteArray("/usr/local/share:/usr/share") : dirs)
            .split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& dir : dataDirs)
        if (!paths.contains(dir + QStringLiteral("/icons")))
            paths << dir + QStringLiteral("/icons");
    QIcon::setThemeSearchPaths(paths);
    if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == "hicolor")
        QIcon::setFallbackThemeName(QStringLiteral("Tango"));
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == "hicolor")
        QIcon::setThemeName(QStringLiteral("Tango"));
}

QIcon ThemeIcon(const char* const* names) {
    for (; names && *names; ++names)
        if (QIcon::hasThemeIcon(QString::fromLatin1(*names)))
            return QIcon::fromTheme(QString::fromLatin1(*names));
    return {};
}

}  // namespace lectorix
