// Reads any file page by page, forwards to the end and back towards the start. Whatever the
// bytes, the reader must stop, keep moving the way it reads, fill no page past its size and
// show every word of the text once.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "book/cp1251.h"
#include "book/page_builder.h"
#include "book/paragraphs.h"
#include "book/rtf_text.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "fuzz_checks.h"

namespace {

using namespace lectorix;

// White to the page: what the text model trims, and the no-break space the clean-up blanks.
bool ShowsNothing(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return IsWhite(c) || c == '\xA0'; });
}

// The clean-up removes paragraph marks typed into the text, so they may show nothing.
bool HasTypedMarks(std::string_view text) {
    return FindNoCase(text, kParagraphMark) != std::string_view::npos;
}

// Pages count letters as CountLetters does, but for what a page turns into blanks: no-break
// spaces, and control characters, which are trimmed at line ends.
bool LettersComparable(std::string_view text) {
    return !HasTypedMarks(text) && std::none_of(text.begin(), text.end(), [](char c) {
        // "®" is read as "ъ", and a page word the raw text lacks is matched only roughly.
        return c == '\xA0' || c == '\xAE' ||
               (IsWhite(c) && c != ' ' && c != '\t' && c != '\r' && c != '\n');
    });
}

void CheckPageSize(const PageMemo& memo, const PageLayout& settings) {
    FUZZ_CHECK(memo.Lines.size() <= static_cast<size_t>(settings.LinesPerPage),
               "%zu lines on a page of %d", memo.Lines.size(), settings.LinesPerPage);
    // Justified lines are the width plus the one blank every line ends with.
    for (const auto& line : memo.Lines)
        FUZZ_CHECK(line.size() <= static_cast<size_t>(settings.CharsPerLine) + 1,
                   "a line of %zu characters at width %d", line.size(), settings.CharsPerLine);
}

// Reads to the end. Each new page starts where the previous one ended or behind blanks only.
void ReadForwards(PageState& st, PageMemo& memo, const SourceText& source,
                  const PageLayout& settings) {
    const std::string_view text = source.Text();
    const long long n = source.Length();
    const bool marks = HasTypedMarks(text);
    // A new page moves on by at least one byte, so more builds than this are a hang.
    const long long maxBuilds = (n + 1) * settings.PageRepeats + 1;
    long long builds = 0;
    std::int64_t letters = 0;
    for (;;) {
        const long long before = st.TextPos;
        const bool repeat = st.PageRepeatsLeft > 0;
        if (!BuildPage(st, memo, source, settings)) {
            FUZZ_CHECK(st.TextPos == before, "a failed build moved from %lld to %lld", before,
                       st.TextPos);
            break;
        }
        if (++builds > maxBuilds) {
            std::fprintf(stderr, "more than %lld page builds for %lld bytes\n", maxBuilds, n);
            std::abort();
        }
        FUZZ_CHECK(st.TextPos >= before && st.TextPos <= n, "forwards from %lld to %lld of %lld",
                   before, st.TextPos, n);
        CheckPageSize(memo, settings);
        if (repeat) continue;
        FUZZ_CHECK(st.TextPos > before, "page %d stays at %lld", st.PageNumber, before);
        FUZZ_CHECK(st.PageStart >= before && st.PageStart < st.TextPos,
                   "page from %lld to %lld after %lld", st.PageStart, st.TextPos, before);
        FUZZ_CHECK(marks || ShowsNothing(text.substr(before, st.PageStart - before)),
                   "text from %lld to %lld skipped", before, st.PageStart);
        letters += st.LettersOnPage;
    }
    FUZZ_CHECK(marks || ShowsNothing(text.substr(st.TextPos)), "text after %lld never shown",
               st.TextPos);
    if (LettersComparable(text))
        FUZZ_CHECK(letters == CountLetters(text), "pages show %lld letters of %lld",
                   static_cast<long long>(letters), static_cast<long long>(CountLetters(text)));
}

// Goes back page by page, as the reader's back key does, until nothing is left before.
void ReadBackwards(PageState& st, PageMemo& memo, const SourceText& source,
                   const PageLayout& settings) {
    const std::string_view text = source.Text();
    const bool marks = HasTypedMarks(text);
    long long previousStart = st.PageStart;
    for (long long back = 0; previousStart > 0; ++back) {
        if (back > source.Length()) {
            std::fprintf(stderr, "more than %lld backward pages\n", back);
            std::abort();
        }
        st.PageRepeatsLeft = 0;
        st.ReadForward = false;
        st.TextPos = st.PageStart;
        const bool built = BuildPage(st, memo, source, settings);
        st.ReadForward = true;
        if (built) {
            FUZZ_CHECK(st.PageStart >= 0 && st.PageStart <= previousStart,
                       "backwards from %lld to %lld", previousStart, st.PageStart);
            CheckPageSize(memo, settings);
        }
        if (!built || st.PageStart == previousStart) {
            FUZZ_CHECK(marks || ShowsNothing(text.substr(0, previousStart)),
                       "cannot go back from %lld", previousStart);
            break;
        }
        previousStart = st.PageStart;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size < 3) return 0;
    PageLayout settings;
    settings.CharsPerLine = 1 + data[0] % 100;
    settings.LinesPerPage = 1 + data[1] % 30;
    settings.PageRepeats = 1 + data[2] % 3;
    settings.Paragraphs = static_cast<LineParagraphs>(data[2] / 3 % 3);
    const std::string bytes(reinterpret_cast<const char*>(data) + 3, size - 3);
    std::string text = DecodeText(bytes);
    // The in-place conversion gives what the copying one gives; bytes that are no UTF-8 stay one
    // byte a character (CP1251 as they were, or KOI8-R's letters in CP1251).
    const std::string_view raw = bytes;
    if (!IsRtf(bytes) && !raw.starts_with("\xFF\xFE") && !raw.starts_with("\xFE\xFF")) {
        std::string copy;
        std::string_view body = raw;
        if (body.starts_with("\xEF\xBB\xBF")) body.remove_prefix(3);
        // A large text is converted in two halves on two threads; here any text is.
        std::string halves(body);
        const bool converted = Utf8ToCp1251InPlace(halves, 1);
        if (TryUtf8ToCp1251(body, copy)) {
            FUZZ_CHECK(text == NormalizeLineEnds(copy), "decoding in place differs (%zu bytes)",
                       bytes.size());
            FUZZ_CHECK(halves == copy || (!converted && halves == body),
                       "decoding in two halves differs (%zu bytes)", bytes.size());
        } else {
            FUZZ_CHECK(!converted && halves == body,
                       "a text that is no UTF-8 changed when decoded in two halves (%zu bytes)",
                       bytes.size());
            FUZZ_CHECK(text.size() == NormalizeLineEnds(std::string(body)).size(),
                       "a single-byte text changed its length (%zu bytes)", bytes.size());
        }
    }
    const SourceText source(std::move(text));
    PageState st;
    PageMemo memo;
    ReadForwards(st, memo, source, settings);
    ReadBackwards(st, memo, source, settings);
    return 0;
}
