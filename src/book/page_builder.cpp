#include "book/page_builder.h"

#include <algorithm>

#include "book/paragraphs.h"
#include "book/text_helpers.h"
#include "book/text_wrap.h"

namespace lectorix {
namespace {

inline bool IsSentenceEnd(char c) {
    return c == '!' || c == '"' || c == '.' || c == ':' || c == ';' || c == '?';
}

inline bool HasPrintable(std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](char c) { return !IsWhite(c); });
}

// White space kept in front of the text that follows a skipped run of blanks, enough for the
// paragraph detection to see a blank line and an indent of up to six blanks.
constexpr long long kSkipContext = 16;

// How a book's line stands apart from the prose; a plain text's prepared lines never begin so.
constexpr std::string_view kApartIndent = "    ";
// The farthest back a page's first line is looked for in the book's line it continues.
constexpr long long kLineStartSearch = 4096;

// Whether the book's line that holds `pos` stands apart.
bool InApartLine(const std::string& text, long long pos) {
    const long long from = std::max(0LL, pos - kLineStartSearch);
    for (long long i = pos - 1; i >= from; --i)
        if (text[static_cast<size_t>(i)] == '\n')
            return std::string_view(text)
                .substr(static_cast<size_t>(i) + 1)
                .starts_with(kApartIndent);
    return from == 0 && text.starts_with(kApartIndent);
}

}  // namespace

void KeepPageLines(PageMemo& memo, int count, bool forward) {
    auto& lines = memo.Lines;
    std::erase_if(lines, [](const std::string& l) { return Trim(l).empty(); });
    if (!forward && !lines.empty()) lines.back().resize(TrimRight(lines.back()).size());
    const size_t keep = count < 0 ? 0 : static_cast<size_t>(count);
    if (lines.size() > keep) {
        if (forward) {
            lines.resize(keep);
        } else {
            lines.erase(lines.begin(), lines.begin() + static_cast<long>(lines.size() - keep));
        }
    }
}

long long MeasureConsumed(std::string_view rawChunk, std::string_view pageText, bool forward) {
    // Every line ends with a blank, so a line's last word ends at a blank as well.
    std::vector<std::string> lines = SplitLines(Trim(pageText));
    for (auto& l : lines) {
        if (l.empty() || l.back() != ' ') l.push_back(' ');
    }
    std::string page(Trim(JoinLines(lines)));
    std::string raw(rawChunk);
    std::string_view lineBreak = "\r\n";
    if (!forward) {
        std::reverse(page.begin(), page.end());
        std::reverse(raw.begin(), raw.end());
        lineBreak = "\n\r";
    }

    const size_t startLength = raw.size();
    std::string_view r = raw;
    std::string_view p = page;
    while (!p.empty()) {
        r = TrimLeft(r);
        p = TrimLeft(p);
        if (p.empty()) break;
        size_t end = p.find(' ');
        if (end == std::string_view::npos) end = p.find(lineBreak);
        if (end == std::string_view::npos) end = p.size();
        std::string word(p.substr(0, end));
        for (size_t b = word.find(lineBreak); b != std::string::npos; b = word.find(lineBreak, b))
            word.erase(b, lineBreak.size());
        const size_t at = word.empty() ? std::string_view::npos : r.find(word);
        if (at != std::string_view::npos) {
            r.remove_prefix(at + word.size());
        } else if (!word.empty()) {
            // A word changed by the clean-up: step over it and let the next words resynchronise.
            r.remove_prefix(std::min(r.size(), word.size() - 1));
        }
        p.remove_prefix(end);
    }
    if (!forward) r = TrimLeft(r);
    return static_cast<long long>(startLength - r.size());
}

void JustifyPageLines(PageMemo& memo, int charsPerLine, bool apartFirst) {
    const long long width = charsPerLine;
    auto& lines = memo.Lines;
    std::vector<std::string> out;
    out.reserve(lines.size());
    long long g = 0;  // blanks added per gap on the last widened line of this page
    bool apart = apartFirst;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string line(TrimRight(lines[i]));
        const long long len = static_cast<long long>(line.size());
        if (line.starts_with(' ')) apart = line.starts_with(kApartIndent);
        const bool endsParagraph =
            i + 1 < lines.size() && !lines[i + 1].empty() && lines[i + 1][0] == ' ';
        const bool endsPage = i + 1 == lines.size() && !line.empty() && IsSentenceEnd(line.back());
        if (len >= width || endsParagraph || endsPage || apart) {
            out.push_back(std::move(line) + ' ');
            continue;
        }

        size_t lead = 0;
        while (lead < line.size() && line[lead] == ' ')
            ++lead;
        const std::string indent = line.substr(0, lead);
        const std::string t = line.substr(lead);
        // The blank after a dash that opens the line (direct speech) is never stretched.
        size_t dashBlank = std::string::npos;
        if (!t.empty() && t[0] == '-') {
            const size_t at = t.find("- ");
            if (at != std::string::npos) dashBlank = at + 1;
        }
        long long gaps = 0;
        for (size_t k = 0; k < t.size(); ++k)
            gaps += t[k] == ' ' && k != dashBlank;
        if (gaps > 0) g = (width - len) / gaps;
        long long extra = width - len - g * gaps;

        std::string wide;
        wide.reserve(static_cast<size_t>(width) + 1);
        for (size_t k = 0; k < t.size(); ++k) {
            if (t[k] == ' ' && k != dashBlank) {
                wide.append(static_cast<size_t>(g + 1), ' ');
            } else {
                wide.push_back(t[k]);
            }
        }
        // What is left over goes one blank each to the rightmost gaps.
        for (long long j = static_cast<long long>(wide.size()) - 1; extra > 0 && j >= 0;) {
            if (wide[static_cast<size_t>(j)] == ' ') {
                wide.insert(static_cast<size_t>(j), 1, ' ');
                --extra;
                j -= g + 1;
            } else {
                --j;
            }
        }
        out.push_back(indent + wide + ' ');
    }
    lines.swap(out);
}

std::string PreparePlainChunk(std::string chunk, bool everyLine) {
    chunk = MarkParagraphs(std::move(chunk), everyLine);
    chunk = NormalizeSpaces(chunk);
    if (!chunk.starts_with(" <TOF>")) chunk.erase(0, chunk.size() - TrimLeft(chunk).size());
    chunk = ExpandParagraphMarks(std::move(chunk), "  ");
    if (chunk.starts_with("\r\n")) chunk.erase(0, 2);
    return chunk;
}

bool LinesAreParagraphs(const SourceText& source, LineParagraphs mode) {
    if (source.IsBook()) return false;
    switch (mode) {
        case LineParagraphs::On:
            return true;
        case LineParagraphs::Off:
            return false;
        case LineParagraphs::Auto:
            break;
    }
    return source.OneParagraphALine();
}

bool BuildPage(PageState& st, PageMemo& memo, const SourceText& source, const PageLayout& layout,
               ChapterCursor* cursor, const std::function<void()>& pageBuilt) {
    st.TextEnded = false;
    if (st.PageRepeatsLeft > 0) {
        --st.PageRepeatsLeft;
        return true;
    }
    st.PageRepeatsLeft = layout.PageRepeats - 1;
    memo.Lines.clear();

    const std::string& text = source.Text();
    const long long n = source.Length();
    const bool forward = st.ReadForward;
    const bool bookMode = st.BookMode && cursor != nullptr;
    const bool everyLine = LinesAreParagraphs(source, layout.Paragraphs);
    const long long span = 2LL * layout.CharsPerLine * layout.LinesPerPage;
    const long long startPos = st.TextPos;
    st.TextPos = std::clamp(st.TextPos, 0LL, n);
    const long long origin = st.TextPos;

    auto fail = [&] {
        st.TextPos = startPos;
        st.TextEnded = true;
        return false;
    };

    std::string raw;
    long long from = 0, to = 0;
    for (;;) {
        int lineCount = layout.LinesPerPage;
        if (bookMode) {
            lineCount = cursor->PageLineCount(st);
            // A selection against the direction of reading (a cursor left behind by a failed
            // build) selects nothing instead of the wrong side.
            const long long len = cursor->PageSelectionLength(st);
            from = forward ? st.TextPos : std::max(0LL, st.TextPos + std::min(len, 0LL));
            to = forward ? std::min(n, st.TextPos + std::max(len, 0LL)) : st.TextPos;
        } else if (forward) {
            from = st.TextPos;
            to = std::min(n, st.TextPos + std::max(span, 1LL));
        } else {
            from = std::max(0LL, st.TextPos - std::max(span, 1LL));
            to = st.TextPos;
        }
        raw.assign(text, static_cast<size_t>(from), static_cast<size_t>(to - from));

        std::string chunk = raw;
        if (!chunk.starts_with("  ") && !chunk.starts_with("\r\n"))
            chunk.erase(0, chunk.size() - TrimLeft(chunk).size());
        if (st.TextPos > 2 && text.compare(static_cast<size_t>(st.TextPos - 2), 2, "\r\n") == 0)
            chunk.insert(0, "\r\n");
        if (st.TextPos == 0) chunk.insert(0, "\r\n ");

        if (!HasPrintable(chunk)) {
            if (bookMode) return fail();
            // A run of blanks or blank lines longer than a chunk is not the end of the text:
            // step over it to the printable text behind it, if there is any.
            if (forward) {
                const auto it =
                    std::find_if(text.begin() + to, text.end(), [](char c) { return !IsWhite(c); });
                if (it == text.end()) return fail();
                long long next = std::max(st.TextPos + 1, (it - text.begin()) - kSkipContext);
                // Never between the CR and the LF of a line break, and always forwards.
                if (text[static_cast<size_t>(next)] == '\n' &&
                    text[static_cast<size_t>(next - 1)] == '\r')
                    next = next - 1 > st.TextPos ? next - 1 : next + 1;
                st.TextPos = next;
            } else {
                const auto it = std::find_if(text.rbegin() + (n - from), text.rend(),
                                             [](char c) { return !IsWhite(c); });
                if (it == text.rend()) return fail();
                st.TextPos = text.rend() - it;
            }
            continue;
        }

        if (bookMode) {
            memo.Lines = SplitLines(WrapBookText(chunk, layout.CharsPerLine));
        } else {
            memo.Lines =
                WrapPlainText(PreparePlainChunk(std::move(chunk), everyLine), layout.CharsPerLine);
        }
        KeepPageLines(memo, lineCount, forward);
        if (memo.Lines.empty() && !bookMode) {
            // Only blanks and marks were left after the clean-up: go on behind this chunk.
            if (forward ? to >= n : from <= 0) return fail();
            st.TextPos = forward ? to : from;
            continue;
        }
        break;
    }

    long long consumed = MeasureConsumed(raw, JoinLines(memo.Lines), forward);
    if (consumed <= 0) {
        // No page word matched the raw text (a text of nothing but changed characters): move on
        // by at least one printable character so the reader never stands still.
        const std::string_view r = raw;
        if (forward) {
            consumed = static_cast<long long>(r.size() - TrimLeft(r).size()) + 1;
        } else {
            consumed = static_cast<long long>(r.size() - TrimRight(r).size()) + 1;
        }
        consumed = std::min<long long>(consumed, static_cast<long long>(r.size()));
    }
    if (forward) {
        st.PageStart = st.TextPos;
        st.TextPos += consumed;
    } else {
        const long long skipped = origin - st.TextPos;  // blanks stepped over
        st.TextPos = st.PageStart;
        st.PageStart -= consumed + skipped;
    }

    if (bookMode) cursor->UpdateChapterFlags(st);
    // A page that begins inside a book's line set apart goes on setting it apart.
    const bool apartFirst = bookMode && !memo.Lines.empty() && !memo.Lines[0].starts_with(' ') &&
                            InApartLine(text, st.PageStart);
    JustifyPageLines(memo, layout.CharsPerLine, apartFirst);
    st.LettersOnPage = CountLetters(memo.Lines);
    st.PageNumber += forward ? 1 : -1;
    st.EmptyLinesOnPage = layout.LinesPerPage - static_cast<int>(memo.Lines.size());
    if (source.TrimmedLength() <= st.TextPos) st.TextEnded = true;
    if (pageBuilt) pageBuilt();
    return true;
}

void ApplyPageNumberRule(PageState& state) {
    if (state.PageStart <= 0 || state.PageNumber < 1) state.PageNumber = 1;
}

}  // namespace lectorix
