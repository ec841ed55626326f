#include "formatter/heading_detector.h"

#include <algorithm>
#include <array>
#include <set>

#include "book/cp1251.h"
#include "book/paragraphs.h"
#include "book/text_helpers.h"

namespace lectorix {
namespace {

// A line ending so goes on into the next one, or is a sentence: no heading.
bool EndsWithPunctuation(std::string_view t) {
    if (t.empty()) return false;
    return std::string_view(".,;:!?-\x85\x96\x97").find(t.back()) != std::string_view::npos;
}

bool StartsWithDash(std::string_view t) {
    return !t.empty() && (t[0] == '-' || t[0] == '\x96' || t[0] == '\x97');
}

int RomanDigit(char c) {
    switch (c) {
        case 'I':
        case '\xB2':  // the Cyrillic І typed for I
            return 1;
        case 'V':
            return 5;
        case 'X':
        case '\xD5':  // the Cyrillic Х typed for X
            return 10;
        case 'L':
            return 50;
        case 'C':
            return 100;
        default:
            return 0;
    }
}

std::string RomanOf(int v) {
    static constexpr std::array<std::pair<int, const char*>, 9> kParts{{{100, "C"},
                                                                        {90, "XC"},
                                                                        {50, "L"},
                                                                        {40, "XL"},
                                                                        {10, "X"},
                                                                        {9, "IX"},
                                                                        {5, "V"},
                                                                        {4, "IV"},
                                                                        {1, "I"}}};
    std::string s;
    for (const auto& [value, text] : kParts)
        for (; v >= value; v -= value)
            s += text;
    return s;
}

// A number opening `s`: 1 to 3 digits, or a Roman numeral written the usual way (up to
// CCCXCIX); `length` gets its characters. 0 when `s` opens with none.
int NumeralAt(std::string_view s, size_t& length) {
    size_t n = 0;
    if (!s.empty() && s[0] >= '0' && s[0] <= '9') {
        while (n < s.size() && s[n] >= '0' && s[n] <= '9')
            ++n;
        if (n > 3) return 0;
        length = n;
        int v = 0;
        for (size_t i = 0; i < n; ++i)
            v = v * 10 + (s[i] - '0');
        return v;
    }
    std::string latin;
    while (n < s.size() && RomanDigit(s[n]) != 0) {
        latin += s[n] == '\xB2' ? 'I' : s[n] == '\xD5' ? 'X' : s[n];
        ++n;
    }
    if (n == 0 || (n < s.size() && Cp1251HasCase(s[n]))) return 0;  // a word such as "Илья"
    int v = 0;
    for (size_t i = 0; i < latin.size(); ++i) {
        const int d = RomanDigit(latin[i]);
        const int next = i + 1 < latin.size() ? RomanDigit(latin[i + 1]) : 0;
        v += d < next ? -d : d;
    }
    if (v <= 0 || v >= 400 || RomanOf(v) != latin) return 0;
    length = n;
    return v;
}

// The words of the patterns, in the text's code page.
std::vector<std::string> InCp1251(std::initializer_list<std::string_view> utf8) {
    std::vector<std::string> words;
    for (const std::string_view w : utf8)
        words.push_back(Utf8ToCp1251(w));
    return words;
}

// Ordinal stems and cardinals: "Часть первая", "Глава двадцать третья", "Книга последняя".
bool IsNumberWord(std::string_view w) {
    static const std::vector<std::string> kStems = InCp1251(
        {"перв",        "втор",        "трет",        "четверт",   "четвёрт",    "пят",
         "шест",        "седьм",       "восьм",       "девят",     "десят",      "одиннадцат",
         "двенадцат",   "тринадцат",   "четырнадцат", "пятнадцат", "шестнадцат", "семнадцат",
         "восемнадцат", "девятнадцат", "двадцат",     "тридцат",   "сороков",    "пятидесят",
         "шестидесят",  "семидесят",   "восьмидесят", "девяност",  "сот",        "последн"});
    static const std::vector<std::string> kWords = InCp1251(
        {"один", "одна", "два", "две", "три", "четыре", "пять", "шесть", "семь", "восемь", "девять",
         "сорок", "пятьдесят", "шестьдесят", "семьдесят", "восемьдесят", "девяносто", "сто"});
    for (const std::string& stem : kStems)
        if (w.starts_with(stem) && w.size() <= stem.size() + 3) return true;
    return std::find(kWords.begin(), kWords.end(), w) != kWords.end();
}

// What may follow a heading's word or number: nothing, or a title after ". ", ": " or a dash.
bool TitleTail(std::string_view rest) {
    if (rest.empty()) return true;
    for (const std::string_view sep : {". ", ": ", " - ", " \x96 ", " \x97 "})
        if (rest.starts_with(sep) && rest.size() > sep.size()) return true;
    return false;
}

// A number after a heading word, as digits, a numeral or number words, and what follows it.
bool NumberWithTail(std::string_view text, std::string_view lower) {
    size_t length = 0;
    if (NumeralAt(text, length) > 0) {
        std::string_view rest = text.substr(length);
        if (rest == ".") rest = {};
        return TitleTail(rest);
    }
    size_t at = 0;
    int words = 0;
    while (at < lower.size() && words < 3) {
        size_t end = lower.find_first_of(" .:", at);
        if (end == std::string_view::npos) end = lower.size();
        if (!IsNumberWord(lower.substr(at, end - at))) break;
        ++words;
        at = end;
        if (at < lower.size() && lower[at] == ' ' && !TitleTail(lower.substr(at))) ++at;
    }
    return words > 0 && TitleTail(lower.substr(at));
}

struct Candidate {
    HeadingKind Kind = HeadingKind::None;
    int Number = 0;     // a numbered heading's value
    bool Bare = false;  // the numeral alone, which may take the next line as its title
};

Candidate Classify(std::string_view line) {
    const std::string text = std::string(Trim(NormalizeSpaces(Trim(line))));
    if (text.empty() || text.size() > kHeadingMaxLength) return {};
    if (text.find_first_not_of("* ") == std::string::npos) {
        const auto stars = std::count(text.begin(), text.end(), '*');
        return stars >= 3 && stars <= 5 ? Candidate{HeadingKind::Break} : Candidate{};
    }
    size_t length = 0;
    if (const int number = NumeralAt(text, length); number > 0) {
        const std::string_view rest = std::string_view(text).substr(length);
        if (rest.empty() || rest == ".") return {HeadingKind::Numbered, number, true};
        if (!EndsWithPunctuation(text) && rest.starts_with(". ") && rest.size() > 2)
            return {HeadingKind::Numbered, number, false};
        return {};
    }
    if (EndsWithPunctuation(text)) return {};
    std::string lower = text;
    for (char& c : lower)
        c = Cp1251Lower(c);
    const size_t blank = lower.find(' ');
    std::string_view word = std::string_view(lower).substr(0, blank);
    if (word.ends_with('.') || word.ends_with(':')) word.remove_suffix(1);
    const std::string_view rest =
        blank == std::string::npos ? std::string_view() : std::string_view(text).substr(blank + 1);
    const std::string_view lowerRest =
        blank == std::string::npos ? std::string_view() : std::string_view(lower).substr(blank + 1);
    static const std::vector<std::string> kNumbered = InCp1251({"том", "часть", "книга", "глава"});
    static const std::vector<std::string> kFraming =
        InCp1251({"пролог", "эпилог", "предисловие", "послесловие"});
    static const std::vector<std::string> kNotes =
        InCp1251({"примечания", "комментарии", "сноски"});
    static const std::string kFromAuthor = Utf8ToCp1251("от автора");
    constexpr HeadingKind kNumberedKinds[] = {HeadingKind::Volume, HeadingKind::Part,
                                              HeadingKind::Book, HeadingKind::Chapter};

    for (size_t k = 0; k < kNumbered.size(); ++k) {
        if (word != kNumbered[k]) continue;
        if (!rest.empty() && NumberWithTail(rest, lowerRest)) return {kNumberedKinds[k]};
        return {};
    }
    const std::string_view afterWord = std::string_view(lower).substr(word.size());
    for (const std::string& name : kFraming)
        if (word == name && TitleTail(afterWord)) return {HeadingKind::Framing};
    if (lower.starts_with(kFromAuthor) &&
        TitleTail(std::string_view(lower).substr(kFromAuthor.size())))
        return {HeadingKind::Framing};
    if (std::find(kNotes.begin(), kNotes.end(), lower) != kNotes.end()) return {HeadingKind::Notes};
    return {};
}

struct Heading {
    size_t Line = 0;
    HeadingKind Kind = HeadingKind::None;
    std::string Text;
    size_t TitleLine = std::string::npos;  // the line joined to it, which goes
};

}  // namespace

HeadingKind HeadingKindOf(std::string_view line) {
    return Classify(line).Kind;
}

HeadingsFound MarkHeadings(Lines& lines) {
    size_t n = 0;
    while (n < lines.size() && lines[n].find("<MENU>") == std::string::npos)
        ++n;
    if (n == 0) return {};
    const bool linePerParagraph =
        IsOneParagraphALine(JoinLines(Lines(lines.begin(), lines.begin() + static_cast<long>(n))));

    std::vector<std::string_view> text(n);
    std::vector<Candidate> kind(n);
    for (size_t i = 0; i < n; ++i) {
        text[i] = Trim(lines[i]);
        if (text[i].size() <= kHeadingMaxLength) kind[i] = Classify(text[i]);
    }
    auto blank = [&](size_t i) { return text[i].empty(); };
    auto isLong = [&](size_t i) { return text[i].size() > kHeadingMaxLength; };
    // What may stand beside a heading: nothing, a blank line, in a text of one paragraph a line
    // a paragraph, or another heading.
    auto apart = [&](long long i) {
        if (i < 0 || i >= static_cast<long long>(n)) return true;
        const auto j = static_cast<size_t>(i);
        return blank(j) || (linePerParagraph && isLong(j)) || kind[j].Kind != HeadingKind::None;
    };
    auto plainShort = [&](size_t i) {
        return !blank(i) && !isLong(i) && kind[i].Kind == HeadingKind::None &&
               !EndsWithPunctuation(text[i]) && !StartsWithDash(text[i]);
    };
    auto nextNonBlank = [&](size_t i) {
        while (i < n && blank(i))
            ++i;
        return i;
    };

    std::vector<Heading> found;
    bool inNotes = false;
    int lastNumber = 0;
    for (size_t i = 0; i < n; ++i) {
        const Candidate c = kind[i];
        if (c.Kind == HeadingKind::None) continue;
        if (c.Kind == HeadingKind::Numbered && inNotes) continue;  // the notes' own numbers
        const auto at = static_cast<long long>(i);
        bool before = apart(at - 1);
        Heading h{i, c.Kind, std::string(Trim(NormalizeSpaces(text[i])))};
        if (c.Bare) {
            // "IV" and, after blank lines only, a short line standing alone: its title.
            const size_t t = nextNonBlank(i + 1);
            const bool titled = t < n && plainShort(t) && apart(static_cast<long long>(t) + 1);
            const bool after = titled || apart(at + 1);
            // The first stanza of a chapter may follow its epigraph's last line directly.
            if (!before && after && i > 0 && !isLong(i - 1))
                before = c.Number == 1 || c.Number == lastNumber + 1;
            if (!before || !after) continue;
            if (h.Text.ends_with('.')) h.Text.pop_back();
            if (titled) {
                h.Text += ". " + std::string(Trim(NormalizeSpaces(text[t])));
                h.TitleLine = t;
            }
        } else if (!before || !apart(at + 1)) {
            continue;
        }
        if (c.Kind == HeadingKind::Numbered) {
            lastNumber = c.Number;
        } else if (c.Kind != HeadingKind::Break) {
            lastNumber = 0;
            inNotes = c.Kind == HeadingKind::Notes;
        }
        found.push_back(std::move(h));
        if (found.back().TitleLine != std::string::npos) i = found.back().TitleLine;
    }

    // The short lines opening the text (the author, the title): at most three, separated only by
    // blank lines, followed by a paragraph or a heading.
    std::vector<size_t> opening;
    size_t next = nextNonBlank(0);
    while (next < n && opening.size() < 3 && plainShort(next)) {
        opening.push_back(next);
        next = nextNonBlank(next + 1);
    }
    if (!(next == n || isLong(next) ||
          std::any_of(found.begin(), found.end(),
                      [next](const Heading& h) { return h.Line == next; })))
        opening.clear();
    if (found.empty() && opening.empty()) return {};

    // Levels: the kinds the text has, highest first, take three, five and seven blanks.
    std::set<HeadingKind> ranked;
    for (const Heading& h : found)
        if (h.Kind < HeadingKind::Framing) ranked.insert(h.Kind);
    auto levelOf = [&](HeadingKind k) {
        if (k >= HeadingKind::Framing) return 1;
        const auto index = std::distance(ranked.begin(), ranked.find(k));
        return static_cast<int>(std::min<long>(index + 1, 3));
    };

    std::vector<int> level(n, 0);  // 0: no heading
    std::vector<std::string> headingText(n);
    std::vector<bool> gone(n, false);
    if (!opening.empty()) {
        std::string title(Trim(NormalizeSpaces(text[opening[0]])));
        for (size_t k = 1; k < opening.size(); ++k) {
            const std::string more(Trim(NormalizeSpaces(text[opening[k]])));
            if (title.size() + 2 + more.size() > kHeadingMaxLength) break;
            title += ". " + more;
            gone[opening[k]] = true;
        }
        level[opening[0]] = 1;
        headingText[opening[0]] = std::move(title);
    }
    int levels = opening.empty() ? 0 : 1;
    for (Heading& h : found) {
        level[h.Line] = levelOf(h.Kind);
        levels = std::max(levels, level[h.Line]);
        headingText[h.Line] = std::move(h.Text);
        if (h.TitleLine != std::string::npos) gone[h.TitleLine] = true;
    }

    Lines out;
    out.reserve(n + found.size() + (lines.size() - n));
    bool paragraphStart = true;
    for (size_t i = 0; i < n; ++i) {
        if (gone[i]) continue;
        if (level[i] > 0) {
            out.emplace_back();
            out.push_back(std::string(static_cast<size_t>(1 + 2 * level[i]), ' ') + headingText[i]);
            paragraphStart = true;
        } else if (blank(i)) {
            paragraphStart = true;
        } else {
            const bool indented = IsWhite(lines[i][0]);
            if (linePerParagraph || paragraphStart || indented)
                out.push_back("  " + std::string(text[i]));
            else
                out.push_back(std::move(lines[i]));
            paragraphStart = false;
        }
    }
    for (size_t i = n; i < lines.size(); ++i)
        out.push_back(std::move(lines[i]));
    lines = std::move(out);
    return {static_cast<int>(found.size() + (opening.empty() ? 0 : 1)), levels};
}

}  // namespace lectorix
