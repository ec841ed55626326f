// The reader's state frozen into a bookmark and brought back from one.
#pragma once

#include <string>

#include "settings/bookmarks.h"

namespace lectorix {

class ReadingEngine;

// The bookmark of the page on screen of the file at `filePath`.
BookmarkRecord BuildBookmarkRecord(const ReadingEngine& engine, const std::string& filePath);

// Writes fields 5 to 26 of `r` back into the engine, the speed included, and leaves it idle,
// reading forwards, with no overhead measured yet (the stored sums are read, not kept).
void RestoreBookmarkState(ReadingEngine& engine, const BookmarkRecord& r);

// Shows the restored page once its text is open: the chapter that holds it located in a book,
// the page built backwards from its end and shown forwards. A position the text no longer
// reaches (the file changed since) opens the text at its start.
void ShowRestoredPage(ReadingEngine& engine);

}  // namespace lectorix
