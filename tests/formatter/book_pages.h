// Reads a book page by page as the reader does: every chapter's first character must be on the
// page its contents entry names and, when `whole`, the pages' letters must add up to the book's
// and no page may show a tag (a plain text may have both its own way).
#pragma once

#include <gtest/gtest.h>

#include "book/book_trailer.h"
#include "book/chapter_cursor.h"
#include "support/test_support.h"

namespace lectorix::test {

inline void CheckPages(std::string text, int chars, int lines, bool whole = true) {
    SCOPED_TRACE("width " + std::to_string(chars) + ", lines " + std::to_string(lines));
    BookContents book;
    ASSERT_TRUE(ParseBookTrailer(text, book));
    ComputeChapterPages(book, chars, lines);
    const SourceText source(std::move(text));
    const PageLayout settings{.CharsPerLine = chars, .LinesPerPage = lines};
    BookChapterCursor cursor(book, chars, lines);
    cursor.EnterEntry(0);
    PageState st{.TextPos = book.ContentsEntries[0].Pos, .BookMode = true};
    PageMemo memo;
    int entry = 0;
    std::int64_t letters = 0;
    std::vector<int> differ;
    std::vector<std::string> tags;
    while (BuildPage(st, memo, source, settings, &cursor)) {
        if (st.PageStart <= 0 || st.PageNumber < 1) st.PageNumber = 1;
        letters += st.LettersOnPage;
        for (const std::string& l : memo.Lines)
            if (l.find('<') != std::string::npos) tags.push_back(Utf(l));
        for (; entry < book.ContentsCount && book.ContentsEntries[entry].Pos < st.TextPos; ++entry)
            if (st.PageNumber != book.ContentsEntries[entry].Page) differ.push_back(entry);
    }
    EXPECT_EQ(entry, book.ContentsCount);
    EXPECT_EQ(differ, std::vector<int>{});
    if (!whole) return;
    EXPECT_EQ(letters, book.ContentsEntries[book.ContentsCount].Letters);
    EXPECT_EQ(tags, std::vector<std::string>{});
}

// Every line of every page of a book, read forwards from its first entry, as the page shows it.
inline std::vector<std::string> PageLines(std::string text, int chars, int lines) {
    BookContents book;
    EXPECT_TRUE(ParseBookTrailer(text, book));
    ComputeChapterPages(book, chars, lines);
    const SourceText source(std::move(text));
    BookChapterCursor cursor(book, chars, lines);
    cursor.EnterEntry(0);
    PageState st{.TextPos = book.ContentsEntries[0].Pos, .BookMode = true};
    PageMemo memo;
    std::vector<std::string> out;
    while (BuildPage(st, memo, source, {.CharsPerLine = chars, .LinesPerPage = lines}, &cursor))
        out.insert(out.end(), memo.Lines.begin(), memo.Lines.end());
    return out;
}

}  // namespace lectorix::test
