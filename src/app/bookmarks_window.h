// Archives, the contents' progress and the bookmarks wired to the main window and the store.
#pragma once

#include <QString>
#include <string>

#include "formatter/document_module.h"

namespace lectorix {

class ProgramSettings;
class TFormBook;

// A file's path as bookmarks keep it (the settings are CP1251): in CP1251 when the code page
// holds every character of it, else its UTF-8 bytes. And back: UTF-8 bytes of a file that
// exists are taken as such, anything else as CP1251.
std::string BookmarkPath(const QString& path);
QString PathOfBookmark(const std::string& stored);

// Adds the bookmark of the page on screen ("Добавить закладку", and the question at closing).
void AddBookmark(TFormBook& form, ProgramSettings& settings);
// Opens a stored bookmark line: the file again (from its archive too) when another one is open,
// the page, the speed and the engine's corrections as they were.
void OpenBookmark(TFormBook& form, const std::string& line);

// Plugs the file reader (`load`, through the cache of converted books, with its progress
// window), the bookmark menu, the start-up question and the closing question's bookmark into
// the main window.
void ConnectBookmarks(TFormBook& form, ProgramSettings& settings, DocumentBytesLoader load);

}  // namespace lectorix
