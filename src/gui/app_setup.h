// What the application sets up once, before its first window: Qt's own texts in Russian and
// the faces behind the font names the settings offer.
#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

namespace lectorix {

// Loads Qt's Russian translation (standard buttons, file dialogs, context menus of edit
// fields), whatever the user's locale: every other text of the program is Russian too.
// Returns false when Qt's translations are not installed; the program then goes on in English.
bool InstallQtTranslations(QCoreApplication& app);

// The installed faces each offered font name falls back to, best first. "Courier New" and
// "Lucida Console" come from another system; here they stand for free monospaced faces of the
// same width per letter, so a page keeps its size whichever name is chosen.
QStringList ReadingFontFaces(const QString& family);
void InstallReadingFontSubstitutes();

}  // namespace lectorix
