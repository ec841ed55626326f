// What the application sets up once, before its first window: Qt's own texts in Russian and
// the faces behind the font names the settings offer.
#pragma once

class QCoreApplication;

namespace lectorix {

// Loads Qt's Russian translation (standard buttons, file dialogs, context menus of edit
// fields), whatever the user's locale: every other text of the program is Russian too.
// Returns false when Qt's translations are not installed; the program then goes on in English.
bool InstallQtTranslations(QCoreApplication& app);

// "Courier New" and "Lucida Console", the names the settings offer, come from another system;
// where they are not installed they stand for free monospaced faces of the same width per
// letter and nearly the same line height, so a page keeps its size whichever name is chosen.
// Left to fontconfig, "Lucida Console" could become a face with lines a sixth taller.
void InstallReadingFontSubstitutes();

}  // namespace lectorix
