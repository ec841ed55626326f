// The one place where the reader's CP1251 text meets Qt's strings.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace lectorix {

// CP1251 bytes to a QString for drawing and display.
QString FromCp1251(std::string_view text);

// A QString to CP1251 bytes; characters the code page lacks become '?'.
std::string ToCp1251(const QString& text);

}  // namespace lectorix
