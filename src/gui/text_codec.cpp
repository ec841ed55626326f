#include "gui/text_codec.h"

#include <QList>

#include "book/cp1251.h"

namespace lectorix {

QString FromCp1251(std::string_view text) {
    QString out;
    out.reserve(static_cast<qsizetype>(text.size()));
    for (const char c : text)
        out.append(QChar(static_cast<char16_t>(Cp1251ToUnicode(static_cast<unsigned char>(c)))));
    return out;
}

std::string ToCp1251(const QString& text) {
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    const auto ucs4 = text.toUcs4();
    for (const char32_t cp : ucs4) {
        const int b = UnicodeToCp1251(cp);
        out.push_back(b < 0 ? '?' : static_cast<char>(b));
    }
    return out;
}

}  // namespace lectorix
