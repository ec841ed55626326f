#include "gui/program_icon.h"

namespace lectorix {

QIcon ProgramIcon() {
    // Every size drawn for its own pixel grid; the window system picks the one it needs.
    static const QIcon icon = [] {
        QIcon result;
        for (int size : {16, 32, 48, 64, 128, 256})
            result.addFile(QStringLiteral(":/icons/%1x%1/apps/lectorix.png").arg(size),
                           QSize(size, size));
        return result;
    }();
    return icon;
}

}  // namespace lectorix
