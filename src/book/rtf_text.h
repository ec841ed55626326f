// The plain text of RTF documents, for reading them like any other text.
#pragma once

#include <string>
#include <string_view>

namespace lectorix {

// True when `bytes` begin as every RTF document does, with "{\rtf".
bool IsRtf(std::string_view bytes);

// The body text of an RTF document as the reader holds texts: CP1251 with CR LF line ends.
// Every paragraph, line, section and page break ends a line; table cells are separated by tabs
// and every table row ends a line. \'hh bytes are read in the code page of the current font
// (its \fcharset or \cpg), else of the document (\ansicpg), else as CP1251; \uN characters are
// taken instead of their replacement text. Characters CP1251 lacks become '?', bytes of symbol
// fonts are dropped. The font table, style sheet, document information, headers, footers,
// footnotes, pictures, objects, field instructions and every "\*" group are left out, as is
// hidden text. Line breaks at the very end are dropped. Damaged input gives what could be read
// of it; nothing throws but std::bad_alloc.
std::string RtfToText(std::string_view rtf);

}  // namespace lectorix
