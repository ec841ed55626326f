#include "book/rtf_text.h"

#include <algorithm>
#include <climits>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

#include "book/cp1251.h"
#include "book/text_helpers.h"

namespace lectorix {

bool IsRtf(std::string_view bytes) {
    return bytes.starts_with("{\\rtf");
}

namespace {

// A font of the symbol charset: its bytes are pictures, not letters.
constexpr int kSymbolCodePage = -2;
// A font that takes the document's code page.
constexpr int kDocumentCodePage = 0;

// Code points of 0x80..0xBF of the single-byte code pages other than CP1251 (0 where the code
// page has none). Their 0xC0..0xFF hold accented Latin, Greek, Hebrew, Arabic or Thai letters,
// none of which CP1251 has, so they are not stored.
struct HighHalf {
    int codePage;
    char16_t chars[64];
};
// clang-format off
constexpr HighHalf kHighHalves[] = {
    {874, {
        0x20AC, 0x0000, 0x0000, 0x0000, 0x0000, 0x2026, 0x0000, 0x0000,
        0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,
        0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,
        0x00A0, 0x0E01, 0x0E02, 0x0E03, 0x0E04, 0x0E05, 0x0E06, 0x0E07,
        0x0E08, 0x0E09, 0x0E0A, 0x0E0B, 0x0E0C, 0x0E0D, 0x0E0E, 0x0E0F,
        0x0E10, 0x0E11, 0x0E12, 0x0E13, 0x0E14, 0x0E15, 0x0E16, 0x0E17,
        0x0E18, 0x0E19, 0x0E1A, 0x0E1B, 0x0E1C, 0x0E1D, 0x0E1E, 0x0E1F,
    }},
    {1250, {
        0x20AC, 0x0000, 0x201A, 0x0000, 0x201E, 0x2026, 0x2020, 0x2021,
        0x0000, 0x2030, 0x0160, 0x2039, 0x015A, 0x0164, 0x017D, 0x0179,
        0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x0000, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A,
        0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6, 0x00A7,
        0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
        0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
        0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C,
    }},
    {1252, {
        0x20AC, 0x0000, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x0000, 0x017D, 0x0000,
        0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x0000, 0x017E, 0x0178,
        0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,
        0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
        0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
        0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF,
    }},
    {1253, {
        0x20AC, 0x0000, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x0000, 0x2030, 0x0000, 0x2039, 0x0000, 0x0000, 0x0000, 0x0000,
        0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x0000, 0x2122, 0x0000, 0x203A, 0x0000, 0x0000, 0x0000, 0x0000,
        0x00A0, 0x0385, 0x0386, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,
        0x00A8, 0x00A9, 0x0000, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x2015,
        0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x0384, 0x00B5, 0x00B6, 0x00B7,
        0x0388, 0x0389, 0x038A, 0x00BB, 0x038C, 0x00BD, 0x038E, 0x038F,
    }},
    {1254, {
        0x20AC, 0x0000, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x0000, 0x0000, 0x0000,
        0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x0000, 0x0000, 0x0178,
        0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,
        0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
        0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
        0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF,
    }},
    {1255, {
        0x20AC, 0x0000, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0000, 0x2039, 0x0000, 0x0000, 0x0000, 0x0000,
        0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0000, 0x203A, 0x0000, 0x0000, 0x0000, 0x0000,
        0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x20AA, 0x00A5, 0x00A6, 0x00A7,
        0x00A8, 0x00A9, 0x00D7, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
        0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
        0x00B8, 0x00B9, 0x00F7, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF,
    }},
    {1256, {
        0x20AC, 0x067E, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0679, 0x2039, 0x0152, 0x0686, 0x0698, 0x0688,
        0x06AF, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x06A9, 0x2122, 0x0691, 0x203A, 0x0153, 0x200C, 0x200D, 0x06BA,
        0x00A0, 0x060C, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,
        0x00A8, 0x00A9, 0x06BE, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
        0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
        0x00B8, 0x00B9, 0x061B, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x061F,
    }},
    {1257, {
        0x20AC, 0x0000, 0x201A, 0x0000, 0x201E, 0x2026, 0x2020, 0x2021,
        0x0000, 0x2030, 0x0000, 0x2039, 0x0000, 0x00A8, 0x02C7, 0x00B8,
        0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x0000, 0x2122, 0x0000, 0x203A, 0x0000, 0x00AF, 0x02DB, 0x0000,
        0x00A0, 0x0000, 0x00A2, 0x00A3, 0x00A4, 0x0000, 0x00A6, 0x00A7,
        0x00D8, 0x00A9, 0x0156, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00C6,
        0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
        0x00F8, 0x00B9, 0x0157, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00E6,
    }},
    {1258, {
        0x20AC, 0x0000, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0000, 0x2039, 0x0152, 0x0000, 0x0000, 0x0000,
        0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0000, 0x203A, 0x0153, 0x0000, 0x0000, 0x0178,
        0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,
        0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
        0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
        0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF,
    }},
};
// clang-format on

// The CP1251 byte for byte `b` of `codePage`, or -1 when the byte gives nothing.
int ToCp1251(int codePage, unsigned char b) {
    if (b < 0x80 || codePage == 1251) return b;
    if (codePage == kSymbolCodePage) return -1;
    if (b < 0xC0) {
        for (const HighHalf& t : kHighHalves) {
            if (t.codePage != codePage) continue;
            const int c = t.chars[b - 0x80] ? UnicodeToCp1251(t.chars[b - 0x80]) : -1;
            return c >= 0 ? c : '?';
        }
    }
    return '?';
}

// \fcharset values and their code pages; 1 (the default charset) and unknown ones take the
// document's.
constexpr std::pair<int, int> kCharsets[] = {
    {0, 1252},   {2, kSymbolCodePage}, {77, 10000}, {128, 932},  {129, 949},
    {130, 1361}, {134, 936},           {136, 950},  {161, 1253}, {162, 1254},
    {163, 1258}, {177, 1255},          {178, 1256}, {186, 1257}, {204, 1251},
    {222, 874},  {238, 1250},          {254, 437},  {255, 850},
};

int CodePageOfCharset(int charset) {
    for (const auto& [c, codePage] : kCharsets)
        if (c == charset) return codePage;
    return kDocumentCodePage;
}

enum class Dest : unsigned char { Body, FontTable, Skip };

// What a group sets; "}" brings back the state before its "{".
struct Group {
    int font = -1;  // -1: the default font
    int uc = 1;     // replacement characters after \uN
    Dest dest = Dest::Body;
    bool hidden = false;
};

enum class Kind : unsigned char {
    Char,  // puts `ch`
    Break,
    Row,
    Skip,  // a destination without body text
    FontTable,
    Unicode,
    UnicodeSkip,
    Font,
    Charset,
    FontCodePage,
    DefaultFont,
    DocumentCodePage,
    Plain,
    Hidden,
    Bin,
};

struct Action {
    Kind kind;
    char ch = 0;
};

// Destinations without body text; "\*" groups are skipped whatever they are called.
constexpr std::string_view kSkipped =
    "aftncn aftnsep aftnsepc annotation atnauthor atndate atnid atnref bkmkend bkmkstart "
    "colorschememapping colortbl datafield datastore docvar falt fldinst filetbl footer "
    "footerf footerl footerr footnote ftncn ftnsep ftnsepc generator header headerf headerl "
    "headerr info latentstyles listoverridetable listtable nonshppict object panose pgdsctbl "
    "pict pn pntxta pntxtb private protusertbl revtbl rsidtbl rxe shpinst stylesheet tc tcn "
    "template themedata txe userprops wgrffmtfilter xe xmlnstbl";

const std::unordered_map<std::string_view, Action>& Words() {
    static const std::unordered_map<std::string_view, Action> words = [] {
        std::unordered_map<std::string_view, Action> w = {
            {"par", {Kind::Break}},
            {"line", {Kind::Break}},
            {"sect", {Kind::Break}},
            {"page", {Kind::Break}},
            {"row", {Kind::Row}},
            {"tab", {Kind::Char, '\t'}},
            {"cell", {Kind::Char, '\t'}},
            {"nestcell", {Kind::Char, '\t'}},
            {"emdash", {Kind::Char, '\x97'}},
            {"endash", {Kind::Char, '\x96'}},
            {"lquote", {Kind::Char, '\x91'}},
            {"rquote", {Kind::Char, '\x92'}},
            {"ldblquote", {Kind::Char, '\x93'}},
            {"rdblquote", {Kind::Char, '\x94'}},
            {"bullet", {Kind::Char, '\x95'}},
            {"enspace", {Kind::Char, ' '}},
            {"emspace", {Kind::Char, ' '}},
            {"qmspace", {Kind::Char, ' '}},
            {"fonttbl", {Kind::FontTable}},
            {"u", {Kind::Unicode}},
            {"uc", {Kind::UnicodeSkip}},
            {"f", {Kind::Font}},
            {"fcharset", {Kind::Charset}},
            {"cpg", {Kind::FontCodePage}},
            {"deff", {Kind::DefaultFont}},
            {"ansicpg", {Kind::DocumentCodePage}},
            {"plain", {Kind::Plain}},
            {"v", {Kind::Hidden}},
            {"bin", {Kind::Bin}},
        };
        for (size_t i = 0; i < kSkipped.size();) {
            const size_t end = std::min(kSkipped.find(' ', i), kSkipped.size());
            w.emplace(kSkipped.substr(i, end - i), Action{Kind::Skip});
            i = end + 1;
        }
        return w;
    }();
    return words;
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

class Converter {
  public:
    explicit Converter(std::string_view in) : in_(in) {}

    std::string Run() {
        while (pos_ < in_.size()) {
            const char c = in_[pos_++];
            switch (c) {
                case '{':
                    stack_.push_back(group_);
                    fallback_ = 0;
                    break;
                case '}':
                    // A "}" too many closes nothing: the text after it is still read.
                    if (!stack_.empty()) {
                        group_ = stack_.back();
                        stack_.pop_back();
                    }
                    fallback_ = 0;
                    break;
                case '\\':
                    Control();
                    break;
                case '\r':
                case '\n':
                    break;  // line ends of the markup, not of the text
                default:
                    if (!TakeFallback()) PutByte(static_cast<unsigned char>(c));
            }
        }
        while (out_.ends_with("\r\n"))
            out_.resize(out_.size() - 2);
        return std::move(out_);
    }

  private:
    bool Emitting() const { return group_.dest == Dest::Body && !group_.hidden; }

    // A replacement character of the last \uN, to be passed over.
    bool TakeFallback() {
        if (fallback_ == 0) return false;
        --fallback_;
        return true;
    }

    void Put(char c) {
        afterHighSurrogate_ = false;
        if (Emitting()) out_.push_back(c);
    }

    void PutBreak() {
        afterHighSurrogate_ = false;
        if (Emitting()) out_ += "\r\n";
    }

    int CodePage() const {
        const int font = group_.font >= 0 ? group_.font : defaultFont_;
        const auto it = fonts_.find(font);
        if (it != fonts_.end()) {
            const int cp = it->second.cpg ? it->second.cpg : it->second.charset;
            if (cp != kDocumentCodePage) return cp;
        }
        return documentCodePage_;
    }

    // A byte of the current code page. Control characters but the tab are no text.
    void PutByte(unsigned char b) {
        if (!Emitting()) return;
        if (b < 0x20 || b == 0x7F) {
            if (b == '\t') Put('\t');
            return;
        }
        const int c = ToCp1251(CodePage(), b);
        if (c >= 0) Put(static_cast<char>(c));
    }

    void PutUnicode(long long u) {
        if (u >= 0xD800 && u <= 0xDBFF) {
            Put('?');  // one for the pair
            afterHighSurrogate_ = true;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            if (!afterHighSurrogate_) Put('?');
            afterHighSurrogate_ = false;
        } else if (u >= 0 && u < 0x20) {
            if (u == '\t') Put('\t');
        } else {
            const int c = u >= 0 && u <= 0x10FFFF ? UnicodeToCp1251(static_cast<char32_t>(u)) : -1;
            Put(c >= 0 ? static_cast<char>(c) : '?');
        }
    }

    // After a backslash.
    void Control() {
        if (pos_ >= in_.size()) return;
        const char c = in_[pos_];
        if (IsLetter(c)) return Word();
        ++pos_;
        switch (c) {
            case '\'': {
                int value = 0, digits = 0;
                for (; digits < 2 && pos_ < in_.size(); ++digits, ++pos_) {
                    const int h = HexDigit(in_[pos_]);
                    if (h < 0) break;
                    value = value * 16 + h;
                }
                if (digits == 2 && !TakeFallback()) PutByte(static_cast<unsigned char>(value));
                break;
            }
            case '\r':
            case '\n':
                fallback_ = 0;
                PutBreak();  // a backslash before a line end is \par
                break;
            case '*':
                group_.dest = Dest::Skip;
                break;
            case '\\':
            case '{':
            case '}':
                if (!TakeFallback()) Put(c);
                break;
            case '~':
                if (!TakeFallback()) Put(' ');
                break;
            case '_':
                if (!TakeFallback()) Put('-');
                break;
            case '-':
                TakeFallback();
                break;
            default:
                break;
        }
    }

    void Word() {
        const size_t start = pos_;
        while (pos_ < in_.size() && IsLetter(in_[pos_]))
            ++pos_;
        const std::string_view name = in_.substr(start, pos_ - start);
        bool negative = false, hasParam = false;
        long long param = 0;
        if (pos_ + 1 < in_.size() && in_[pos_] == '-' && IsDigit(in_[pos_ + 1])) {
            negative = true;
            ++pos_;
        }
        // Any number of digits is read; the value stops growing at INT_MAX.
        for (; pos_ < in_.size() && IsDigit(in_[pos_]); ++pos_) {
            hasParam = true;
            param = std::min<long long>(param * 10 + (in_[pos_] - '0'), INT_MAX);
        }
        if (negative) param = -param;
        if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;

        const auto& words = Words();
        const auto it = words.find(name);
        if (it == words.end()) {
            fallback_ = 0;
            return;
        }
        const Action action = it->second;
        if (action.kind == Kind::Bin) {
            // Binary data stands for one replacement character like any other.
            TakeFallback();
            const size_t left = in_.size() - pos_;
            pos_ += param > 0 ? std::min(static_cast<size_t>(param), left) : 0;
            return;
        }
        // Control words end the replacement text: a writer that gave none must not lose the
        // \par or the letter after it.
        fallback_ = 0;
        const int value = static_cast<int>(param);
        switch (action.kind) {
            case Kind::Char:
                Put(action.ch);
                break;
            case Kind::Break:
                PutBreak();
                break;
            case Kind::Row:
                if (Emitting() && out_.ends_with('\t')) out_.pop_back();
                PutBreak();
                break;
            case Kind::Skip:
                group_.dest = Dest::Skip;
                break;
            case Kind::FontTable:
                if (group_.dest == Dest::Body) group_.dest = Dest::FontTable;
                break;
            case Kind::Unicode:
                // Values past 32767 are written as negative 16-bit numbers.
                PutUnicode(negative && param >= -32768 ? param + 65536 : param);
                fallback_ = group_.uc;
                break;
            case Kind::UnicodeSkip:
                group_.uc = std::max(value, 0);
                break;
            case Kind::Font:
                if (group_.dest == Dest::FontTable) {
                    definedFont_ = value;
                    fonts_.try_emplace(value);
                } else {
                    group_.font = value;
                }
                break;
            case Kind::Charset:
                if (group_.dest == Dest::FontTable && hasParam)
                    fonts_[definedFont_].charset = CodePageOfCharset(value);
                break;
            case Kind::FontCodePage:
                if (group_.dest == Dest::FontTable && value > 0) fonts_[definedFont_].cpg = value;
                break;
            case Kind::DefaultFont:
                defaultFont_ = value;
                break;
            case Kind::DocumentCodePage:
                if (value > 0) documentCodePage_ = value;
                break;
            case Kind::Plain:
                group_.font = -1;
                group_.hidden = false;
                break;
            case Kind::Hidden:
                group_.hidden = !hasParam || value != 0;
                break;
            case Kind::Bin:
                break;
        }
    }

    struct FontCodePages {
        int charset = kDocumentCodePage;
        int cpg = 0;
    };

    std::string_view in_;
    size_t pos_ = 0;
    std::string out_;
    Group group_;
    // On the heap: a hundred thousand "{" cost memory, not stack.
    std::vector<Group> stack_;
    std::map<int, FontCodePages> fonts_;
    int definedFont_ = -1;
    int defaultFont_ = -1;
    int documentCodePage_ = 1251;
    int fallback_ = 0;
    bool afterHighSurrogate_ = false;
};

}  // namespace

std::string RtfToText(std::string_view rtf) {
    return Converter(rtf).Run();
}

}  // namespace lectorix
