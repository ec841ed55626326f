// The formatting tool wired to the main window.
#pragma once

namespace lectorix {

class TFormBook;

// "Форматировать текст" opens the tool on the reader's text (a book with its trailer), its
// header and its file, modally; nothing flows back into the reader.
void ConnectFormatTool(TFormBook& form);

}  // namespace lectorix
