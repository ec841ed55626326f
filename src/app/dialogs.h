// The one seam for message boxes, so headless tests can see what the user would be told
// instead of being blocked by a modal box.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace lectorix {

// Shows a warning with the program's title. While a test handler is set, it gets the text
// instead and nothing is shown.
void ShowWarning(QWidget* parent, const QString& text);

using WarningHandler = std::function<void(const QString&)>;
void SetWarningHandler(WarningHandler handler);

}  // namespace lectorix
