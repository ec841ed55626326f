#include "app/format_tool_window.h"

#include "app/form_book.h"
#include "formatter/form_format_lxb.h"

namespace lectorix {

void ConnectFormatTool(TFormBook& form) {
    form.Seams.OpenFormatTool = [&form] {
        const ReadingEngine& engine = form.Engine();
        TFormFormatLXB::Opening opening;
        opening.Text = engine.WholeText();
        opening.Header = engine.Book.Header;
        opening.FileName = form.OpenFileName();
        opening.CharsPerLine = engine.Settings.CharsPerLine;
        opening.LinesPerPage = engine.Settings.LinesPerPage;
        TFormFormatLXB tool(&form);
        tool.OpenFormatTool(opening);
        tool.exec();
    };
}

}  // namespace lectorix
