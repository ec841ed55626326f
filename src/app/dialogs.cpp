#include "app/dialogs.h"

#include <QMessageBox>

namespace lectorix {
namespace {
WarningHandler& Handler() {
    static WarningHandler handler;
    return handler;
}
}  // namespace

void ShowWarning(QWidget* parent, const QString& text) {
    if (Handler()) {
        Handler()(text);
        return;
    }
    QMessageBox::warning(parent, QStringLiteral("Lectorix"), text);
}

void SetWarningHandler(WarningHandler handler) {
    Handler() = std::move(handler);
}

}  // namespace lectorix
