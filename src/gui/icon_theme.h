// The tool bar icons: names of the freedesktop icon theme, with a theme to fall back on.
#pragma once

#include <QIcon>

namespace lectorix {

// Points the icon lookup at the fallback theme the setup installs, for desktops without one.
void InstallIconTheme();

// The icon of the first name the theme has, from a list ended by nullptr; none when it has none.
QIcon ThemeIcon(const char* const* names);

}  // namespace lectorix
