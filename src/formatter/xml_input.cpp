#include "formatter/xml_input.h"

#include <libxml/HTMLparser.h>
#include <libxml/encoding.h>
#include <libxml/entities.h>
#include <libxml/globals.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "book/text_helpers.h"

namespace lectorix {

std::string_view LocalName(std::string_view name) {
    const size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

namespace {

// ---- The markup as code units: bytes, or UTF-16 in either byte order. -------------------------

template <int Width, bool Big>
struct Units {
    static constexpr size_t kWidth = Width;
    std::string_view b;

    size_t size() const { return b.size() / Width; }
    unsigned at(size_t i) const {
        if constexpr (Width == 1) {
            return static_cast<unsigned char>(b[i]);
        } else {
            const unsigned x = static_cast<unsigned char>(b[2 * i]);
            const unsigned y = static_cast<unsigned char>(b[2 * i + 1]);
            return Big ? (x << 8 | y) : (y << 8 | x);
        }
    }
    size_t find(unsigned c, size_t from) const {
        if constexpr (Width == 1) {
            if (from >= b.size()) return std::string_view::npos;
            const void* p = std::memchr(b.data() + from, static_cast<int>(c), b.size() - from);
            return p ? static_cast<size_t>(static_cast<const char*>(p) - b.data())
                     : std::string_view::npos;
        } else {
            for (size_t i = from; i < size(); ++i)
                if (at(i) == c) return i;
            return std::string_view::npos;
        }
    }
    // Whether the ASCII `s` stands at i; letters of either case when `anyCase`.
    bool match(size_t i, std::string_view s, bool anyCase = false) const {
        if (i + s.size() > size()) return false;
        for (size_t k = 0; k < s.size(); ++k) {
            unsigned c = at(i + k);
            if (anyCase && c >= 'A' && c <= 'Z') c += 32;
            if (c != static_cast<unsigned char>(s[k])) return false;
        }
        return true;
    }
    size_t findSeq(std::string_view s, size_t from, bool anyCase = false) const {
        for (size_t i = from; i < size(); ++i) {
            if (!anyCase) {
                i = find(static_cast<unsigned char>(s[0]), i);
                if (i == std::string_view::npos) return i;
            }
            if (match(i, s, anyCase)) return i;
        }
        return std::string_view::npos;
    }
};

template <class F>
auto WithUnits(std::string_view bytes, F f) {
    const bool le = bytes.starts_with("\xFF\xFE") || bytes.starts_with(std::string_view("<\0", 2));
    const bool be = bytes.starts_with("\xFE\xFF") || bytes.starts_with(std::string_view("\0<", 2));
    if (le) return f(Units<2, false>{bytes});
    if (be) return f(Units<2, true>{bytes});
    return f(Units<1, false>{bytes});
}

bool IsSpace(unsigned c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsNameStart(unsigned c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
}

bool IsNameChar(unsigned c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// Past the end of the declaration ("<!DOCTYPE ... [ ... ]>") that starts at i.
template <class U>
size_t SkipDeclaration(const U& u, size_t i) {
    const size_t n = u.size();
    int brackets = 0;
    for (size_t j = i + 2; j < n; ++j) {
        const unsigned c = u.at(j);
        if (c == '"' || c == '\'') {
            j = u.find(c, j + 1);
            if (j == std::string_view::npos) return n;
        } else if (c == '<' && u.match(j, "<!--")) {
            j = u.findSeq("-->", j + 4);
            if (j == std::string_view::npos) return n;
            j += 2;
        } else if (c == '[') {
            ++brackets;
        } else if (c == ']') {
            if (brackets > 0) --brackets;
        } else if (c == '>' && brackets == 0) {
            return j + 1;
        }
    }
    return n;
}

// Past what starts at i with `open` and ends with `close`; the end of the text if it never ends.
template <class U>
size_t SkipPast(const U& u, size_t i, std::string_view open, std::string_view close) {
    const size_t end = u.findSeq(close, i + open.size());
    return end == std::string_view::npos ? u.size() : end + close.size();
}

struct Scan {
    std::string Problem;
    std::vector<std::pair<size_t, size_t>> Cuts;  // byte ranges to remove, in order
};

template <class U>
std::string AtLine(const U& u, size_t i) {
    size_t lines = 1;
    for (size_t k = 0; k < i; ++k)
        if (u.at(k) == '\n') ++lines;
    return "в строке " + std::to_string(lines);
}

// One linear pass over the markup: the attributes of each start tag are counted (and in HTML
// the insides of scripts and styles passed over, as the parser passes over them).
template <class U>
Scan ScanMarkup(const U& u, bool html, bool cut) {
    Scan out;
    constexpr size_t width = U::kWidth;
    const size_t n = u.size();
    int namespaces = 0;
    for (size_t i = 0; i < n;) {
        i = u.find('<', i);
        if (i == std::string_view::npos) break;
        if (u.match(i, "<!--")) {
            i = SkipPast(u, i, "<!--", "-->");
        } else if (u.match(i, "<![CDATA[")) {
            i = SkipPast(u, i, "<![CDATA[", "]]>");
        } else if (u.match(i, "<?")) {
            i = SkipPast(u, i, "<?", "?>");
        } else if (u.match(i, "<!")) {
            const size_t end = SkipDeclaration(u, i);
            if (cut && html && u.match(i, "<!doctype", true))
                out.Cuts.emplace_back(i * width, end * width);
            i = end;
        } else if (i + 1 < n && u.at(i + 1) == '/') {
            const size_t end = u.find('>', i + 2);
            i = end == std::string_view::npos ? n : end + 1;
        } else if (i + 1 < n && IsNameStart(u.at(i + 1))) {
            size_t j = i + 1;
            while (j < n && IsNameChar(u.at(j)))
                ++j;
            const size_t nameSize = j - i - 1;
            const bool isStyle = html && nameSize == 5 && u.match(i, "<style", true);
            const bool script = isStyle || (html && nameSize == 6 && u.match(i, "<script", true));
            bool empty = false;
            int attributes = 0;
            while (j < n) {
                unsigned c = u.at(j);
                if (IsSpace(c)) {
                    ++j;
                    continue;
                }
                if (c == '>') {
                    ++j;
                    break;
                }
                if (c == '/') {
                    empty = j + 1 < n && u.at(j + 1) == '>';
                    ++j;
                    continue;
                }
                if (c == '<') break;  // a new tag: the parser makes of it what it will
                const size_t name = j;
                while (j < n && !IsSpace(c = u.at(j)) && c != '=' && c != '>' && c != '/' &&
                       c != '<')
                    ++j;
                if (j == name) {
                    ++j;  // a stray '=' or quote
                    continue;
                }
                if (++attributes > kMaxAttributes) {
                    out.Problem = "у элемента " + AtLine(u, i) + " больше " +
                                  std::to_string(kMaxAttributes) + " атрибутов";
                    return out;
                }
                if (u.match(name, "xmlns") && ++namespaces > kMaxNamespaces) {
                    out.Problem = "в документе больше " + std::to_string(kMaxNamespaces) +
                                  " объявлений пространств имён";
                    return out;
                }
                while (j < n && IsSpace(u.at(j)))
                    ++j;
                if (j >= n || u.at(j) != '=') continue;
                ++j;
                while (j < n && IsSpace(u.at(j)))
                    ++j;
                if (j < n && (u.at(j) == '"' || u.at(j) == '\'')) {
                    const size_t from = j + 1;
                    size_t to = u.find(u.at(j), from);
                    if (to == std::string_view::npos) to = n;
                    if (cut && (to - from) * width > kMaxAttributeValue)
                        out.Cuts.emplace_back(from * width, to * width);
                    j = std::min(n, to + 1);
                } else {
                    while (j < n && !IsSpace(u.at(j)) && u.at(j) != '>')
                        ++j;
                }
            }
            if (script && !empty) {
                const size_t end = u.findSeq(isStyle ? "</style" : "</script", j, true);
                j = end == std::string_view::npos ? n : end;
            }
            i = j;
        } else {
            ++i;
        }
    }
    return out;
}

// ---- Errors: every complaint of libxml2 comes here instead of stderr. -------------------------

std::string ErrorText(const xmlError* e) {
    if (!e || !e->message) return "документ XML повреждён";
    std::string text(TrimRight(e->message));
    if (e->line > 0) text = "строка " + std::to_string(e->line) + ": " + text;
    return text;
}

// For one reading on this thread: libxml2 keeps its error handlers per thread, so readings on
// other threads are not disturbed.
class ErrorTrap {
  public:
    ErrorTrap()
        : structured_(xmlStructuredError),
          structuredContext_(xmlStructuredErrorContext),
          generic_(xmlGenericError),
          genericContext_(xmlGenericErrorContext) {
        xmlSetStructuredErrorFunc(this, &ErrorTrap::OnError);
        xmlSetGenericErrorFunc(this, &ErrorTrap::OnGeneric);
    }
    ~ErrorTrap() {
        xmlSetStructuredErrorFunc(structuredContext_, structured_);
        xmlSetGenericErrorFunc(genericContext_, generic_);
    }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    static void OnError(void* self, xmlError* error) { static_cast<ErrorTrap*>(self)->Note(error); }
    static void OnGeneric(void*, const char*, ...) {}

    void Note(const xmlError* error) {
        if (!error || error->level < XML_ERR_ERROR) return;
        last = ErrorText(error);
        if (first.empty()) first = last;
    }

    std::string first, last;

  private:
    xmlStructuredErrorFunc structured_;
    void* structuredContext_;
    xmlGenericErrorFunc generic_;
    void* genericContext_;
};

// ---- Events. ----------------------------------------------------------------------------------

struct DocFree {
    void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};

struct Adapter {
    Adapter(XmlEvents& e, ErrorTrap& t) : events(e), trap(t) {}
    XmlEvents& events;
    ErrorTrap& trap;
    xmlParserCtxtPtr ctxt = nullptr;
    int depth = 0;
    bool finished = false, tooDeep = false, halted = false;
    std::vector<XmlAttribute> attributes;
    std::unique_ptr<xmlDoc, DocFree> entities;  // the HTML entities met so far

    void Halt() {
        halted = true;
        xmlStopParser(ctxt);
    }
    // True when the element may be handed on.
    bool Enter() {
        if (halted) return false;
        if (finished || ++depth > kMaxDepth) {
            if (!finished) tooDeep = true;
            Halt();
            return false;
        }
        return true;
    }
    void Started(std::string_view name) {
        events.Start(LocalName(name), attributes);
        if (events.Stopped()) Halt();
    }
    void Ended(std::string_view name) {
        if (halted || depth == 0) return;
        events.End(LocalName(name));
        if (--depth == 0) finished = true;
        if (events.Stopped()) Halt();
    }
    void Characters(const xmlChar* text, int len) {
        if (halted) return;
        events.Text(
            std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(len)));
        if (events.Stopped()) Halt();
    }
};

Adapter& Self(void* ctx) {
    return *static_cast<Adapter*>(ctx);
}

std::string_view View(const xmlChar* s) {
    return s ? std::string_view(reinterpret_cast<const char*>(s)) : std::string_view();
}

void OnStartNs(void* ctx, const xmlChar* localname, const xmlChar*, const xmlChar*, int,
               const xmlChar**, int count, int, const xmlChar** attributes) {
    Adapter& a = Self(ctx);
    if (!a.Enter()) return;
    a.attributes.clear();
    for (int i = 0; i < count; ++i) {
        const xmlChar* const* at = attributes + 5 * i;
        a.attributes.push_back({View(at[0]), std::string_view(reinterpret_cast<const char*>(at[3]),
                                                              static_cast<size_t>(at[4] - at[3]))});
    }
    a.Started(View(localname));
}

void OnEndNs(void* ctx, const xmlChar* localname, const xmlChar*, const xmlChar*) {
    Self(ctx).Ended(View(localname));
}

void OnXmlText(void* ctx, const xmlChar* text, int len) {
    Adapter& a = Self(ctx);
    // libxml2 drops every later "&amp;" once a document is not well-formed; the only entities
    // this parser has are XML's and HTML's, which are safe to go on expanding.
    a.ctxt->wellFormed = 1;
    a.Characters(text, len);
}

void OnHtmlStart(void* ctx, const xmlChar* name, const xmlChar** attributes) {
    Adapter& a = Self(ctx);
    if (!a.Enter()) return;
    a.attributes.clear();
    for (const xmlChar** at = attributes; at && at[0]; at += 2)
        a.attributes.push_back({LocalName(View(at[0])), View(at[1])});
    a.Started(View(name));
}

void OnHtmlEnd(void* ctx, const xmlChar* name) {
    Self(ctx).Ended(View(name));
}

void OnHtmlText(void* ctx, const xmlChar* text, int len) {
    Self(ctx).Characters(text, len);
}

void OnSaxError(void* ctx, xmlError* error) {
    Self(ctx).trap.Note(error);
}

// Entities the document declares are never stored or expanded (a billion laughs stays a few
// bytes); the HTML ones give their characters.
xmlEntityPtr HtmlEntity(void* ctx, const xmlChar* name) {
    Adapter& a = Self(ctx);
    const htmlEntityDesc* html = htmlEntityLookup(name);
    if (!html) return nullptr;
    if (!a.entities) {
        a.entities.reset(xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0")));
        if (!a.entities) return nullptr;
        xmlCreateIntSubset(a.entities.get(), reinterpret_cast<const xmlChar*>("x"), nullptr,
                           nullptr);
    }
    if (xmlEntityPtr known = xmlGetDocEntity(a.entities.get(), name)) return known;
    xmlChar utf8[8] = {};
    xmlCopyCharMultiByte(utf8, static_cast<int>(html->value));
    xmlEntityPtr e = xmlAddDocEntity(a.entities.get(), name, XML_INTERNAL_GENERAL_ENTITY, nullptr,
                                     nullptr, utf8);
    // A predefined entity goes to the text handler as it is, like "&amp;".
    if (e) e->etype = XML_INTERNAL_PREDEFINED_ENTITY;
    return e;
}

int Size(std::string_view bytes) {
    return static_cast<int>(std::min<size_t>(bytes.size(), INT_MAX));
}

XmlOutcome Outcome(const Adapter& a, const ErrorTrap& trap) {
    XmlOutcome out;
    out.FirstError = trap.first;
    out.LastError = trap.last;
    out.Finished = a.finished;
    out.TooDeep = a.tooDeep;
    return out;
}

// ---- Encodings. -------------------------------------------------------------------------------

// The bytes that follow a leading byte of UTF-8; 0 for a byte that leads nothing.
size_t Utf8Continuations(unsigned char c) {
    return c >= 0xC2 && c <= 0xDF ? 1 : c >= 0xE0 && c <= 0xEF ? 2 : c >= 0xF0 && c <= 0xF4 ? 3 : 0;
}

// Whether at least as many of the non-ASCII sequences read as UTF-8 as do not: a UTF-8 book cut
// in the middle of a letter is still UTF-8, a CP1251 one hardly has a sequence that is.
bool MostlyUtf8(std::string_view s) {
    size_t good = 0, bad = 0;
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        const size_t more = Utf8Continuations(c);
        bool ok = more > 0 && i + more < s.size();
        for (size_t k = 1; ok && k <= more; ++k)
            ok = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
        if (ok) {
            ++good;
            i += more + 1;
        } else {
            ++bad;
            ++i;
        }
    }
    return good >= bad;
}

// The encoding named by an XML declaration at the start, or empty.
std::string DeclaredEncoding(std::string_view bytes) {
    const std::string_view head = bytes.substr(0, std::min<size_t>(bytes.size(), 200));
    const size_t end = head.starts_with("<?xml") ? head.find("?>") : head.npos;
    const size_t at = head.find("encoding");
    if (end == head.npos || at > end) return {};
    const size_t open = head.find_first_of("\"'", at);
    const size_t close = open == head.npos ? head.npos : head.find(head[open], open + 1);
    if (close == head.npos || close > end) return {};
    return std::string(head.substr(open + 1, close - open - 1));
}

bool IsUtf8Name(std::string_view name) {
    std::string lower(name);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return lower == "utf-8" || lower == "utf8";
}

bool HasByteOrderMark(std::string_view bytes) {
    return bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF") ||
           bytes.starts_with(std::string_view("<\0", 2)) ||
           bytes.starts_with(std::string_view("\0<", 2));
}

}  // namespace

XmlEncoding ChooseXmlEncoding(std::string_view bytes) {
    if (HasByteOrderMark(bytes) || bytes.starts_with("\xEF\xBB\xBF")) return {};
    const std::string declared = DeclaredEncoding(bytes);
    if (!declared.empty()) {
        if (IsUtf8Name(declared) && !MostlyUtf8(bytes)) return {"windows-1251", declared};
        return {};
    }
    return MostlyUtf8(bytes) ? XmlEncoding{} : XmlEncoding{"windows-1251", {}};
}

XmlEncoding ChooseHtmlEncoding(std::string_view bytes) {
    if (HasByteOrderMark(bytes)) return {};
    const std::string declared = DeclaredEncoding(bytes);
    if (!declared.empty()) {
        if (IsUtf8Name(declared))
            return MostlyUtf8(bytes) ? XmlEncoding{"UTF-8", {}}
                                     : XmlEncoding{"windows-1251", declared};
        return {declared, {}};
    }
    return {MostlyUtf8(bytes) ? "UTF-8" : "windows-1251", {}};
}

std::string MarkupProblem(std::string_view bytes) {
    return WithUnits(bytes, [](const auto& u) { return ScanMarkup(u, false, false).Problem; });
}

std::string PrepareMarkup(std::string& bytes, bool html) {
    Scan scan = WithUnits(std::string_view(bytes),
                          [html](const auto& u) { return ScanMarkup(u, html, true); });
    if (!scan.Problem.empty() || scan.Cuts.empty()) return scan.Problem;
    size_t to = scan.Cuts.front().first;
    for (size_t k = 0; k < scan.Cuts.size(); ++k) {
        const size_t keepFrom = scan.Cuts[k].second;
        const size_t keepTo = k + 1 < scan.Cuts.size() ? scan.Cuts[k + 1].first : bytes.size();
        if (keepTo > keepFrom) {
            std::memmove(bytes.data() + to, bytes.data() + keepFrom, keepTo - keepFrom);
            to += keepTo - keepFrom;
        }
    }
    bytes.resize(to);
    return {};
}

std::string FirstElementName(std::string_view bytes) {
    return WithUnits(bytes, [](const auto& u) -> std::string {
        const size_t n = u.size();
        size_t i = n > 0 && u.at(0) == 0xFEFF ? 1 : 0;
        if (u.match(i, "\xEF\xBB\xBF")) i += 3;
        while (i < n) {
            if (IsSpace(u.at(i))) {
                ++i;
            } else if (u.match(i, "<?")) {
                i = SkipPast(u, i, "<?", "?>");
            } else if (u.match(i, "<!--")) {
                i = SkipPast(u, i, "<!--", "-->");
            } else if (u.match(i, "<!")) {
                i = SkipDeclaration(u, i);
            } else if (u.at(i) == '<') {
                std::string name;
                for (size_t j = i + 1; j < n && name.size() < 64 && IsNameChar(u.at(j)); ++j)
                    name += static_cast<char>(u.at(j) < 0x80 ? u.at(j) : '?');
                return name;
            } else {
                return {};
            }
        }
        return {};
    });
}

XmlOutcome StreamXml(std::string_view bytes, XmlEvents& events, const std::string& encoding) {
    ErrorTrap trap;
    Adapter a(events, trap);
    xmlSAXHandler sax{};
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = OnStartNs;
    sax.endElementNs = OnEndNs;
    sax.characters = OnXmlText;
    sax.cdataBlock = OnXmlText;
    sax.serror = OnSaxError;
    sax.getEntity = HtmlEntity;
    struct CtxtFree {
        void operator()(xmlParserCtxt* c) const {
            if (c->myDoc) xmlFreeDoc(std::exchange(c->myDoc, nullptr));
            xmlFreeParserCtxt(c);
        }
    };
    std::unique_ptr<xmlParserCtxt, CtxtFree> ctxt(
        xmlCreatePushParserCtxt(&sax, &a, nullptr, 0, nullptr));
    if (!ctxt) throw std::bad_alloc();
    a.ctxt = ctxt.get();
    // No XML_PARSE_NOENT, XML_PARSE_DTDLOAD or XML_PARSE_HUGE: entities stay unexpanded, no
    // outside file is read and libxml2's own size limits hold.
    int options = XML_PARSE_NONET | XML_PARSE_RECOVER | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    if (!encoding.empty()) options |= XML_PARSE_IGNORE_ENC;
    xmlCtxtUseOptions(ctxt.get(), options);
    if (!encoding.empty()) {
        if (xmlCharEncodingHandlerPtr handler = xmlFindCharEncodingHandler(encoding.c_str()))
            xmlSwitchToEncoding(ctxt.get(), handler);
    }
    constexpr size_t kChunk = 1 << 20;  // bytes fed to the parser at a time
    for (size_t at = 0;;) {
        const size_t take = std::min(kChunk, bytes.size() - at);
        const bool last = at + take == bytes.size();
        xmlParseChunk(ctxt.get(), bytes.data() + at, static_cast<int>(take), last);
        at += take;
        if (last || a.halted || ctxt->disableSAX) break;
    }
    return Outcome(a, trap);
}

XmlOutcome StreamHtml(std::string_view bytes, XmlEvents& events, const std::string& encoding) {
    ErrorTrap trap;
    Adapter a(events, trap);
    if (bytes.empty()) return Outcome(a, trap);
    xmlSAXHandler sax{};
    sax.initialized = XML_SAX2_MAGIC;  // so that errors reach serror
    sax.startElement = OnHtmlStart;
    sax.endElement = OnHtmlEnd;
    sax.characters = OnHtmlText;
    sax.cdataBlock = OnHtmlText;
    sax.serror = OnSaxError;
    struct CtxtFree {
        void operator()(htmlParserCtxt* c) const {
            if (c->myDoc) xmlFreeDoc(std::exchange(c->myDoc, nullptr));
            htmlFreeParserCtxt(c);
        }
    };
    std::unique_ptr<htmlParserCtxt, CtxtFree> ctxt(
        htmlCreateMemoryParserCtxt(bytes.data(), Size(bytes)));
    if (!ctxt) throw std::bad_alloc();
    *ctxt->sax = sax;
    ctxt->userData = &a;
    a.ctxt = ctxt.get();
    int options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                  HTML_PARSE_NONET | HTML_PARSE_NOIMPLIED;
    // UTF-8 is the parser's own: no conversion (and no second copy of the document); a <meta>
    // naming another is not believed, as no declaration is once an encoding was chosen.
    if (!encoding.empty()) options |= HTML_PARSE_IGNORE_ENC;
    htmlCtxtUseOptions(ctxt.get(), options);
    xmlCharEncodingHandlerPtr handler = encoding.empty() || IsUtf8Name(encoding)
                                            ? nullptr
                                            : xmlFindCharEncodingHandler(encoding.c_str());
    if (handler) {
        xmlSwitchToEncoding(ctxt.get(), handler);
    } else if (!encoding.empty()) {  // UTF-8, or one libxml2 lacks
        xmlSwitchEncoding(ctxt.get(), XML_CHAR_ENCODING_UTF8);
    }
    htmlParseDocument(ctxt.get());
    return Outcome(a, trap);
}

void ReplaceInvalidUtf8(std::string& bytes) {
    for (size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        const size_t more = Utf8Continuations(c);
        bool ok = more > 0 && i + more < bytes.size();
        for (size_t k = 1; ok && k <= more; ++k)
            ok = (static_cast<unsigned char>(bytes[i + k]) & 0xC0) == 0x80;
        if (ok) {
            i += more + 1;
        } else {
            bytes[i++] = '?';
        }
    }
}

}  // namespace lectorix
