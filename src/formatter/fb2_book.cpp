#include "formatter/fb2_book.h"

#include <libxml/HTMLparser.h>
#include <libxml/encoding.h>
#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "book/archive_reader.h"
#include "book/cp1251.h"
#include "book/text_loader.h"
#include "formatter/book_assembler.h"
#include "formatter/xml_input.h"

namespace lectorix {
namespace {

using namespace std::string_view_literals;

constexpr size_t kFieldCap = 4096;  // a header value longer than this is not one
constexpr size_t kChunk = 1 << 20;  // bytes fed to the parser at a time

// Elements whose text makes a line of its own.
bool IsBlock(std::string_view name) {
    for (const auto b : {"p"sv, "v"sv, "subtitle"sv, "text-author"sv, "date"sv, "empty-line"sv,
                         "tr"sv, "title"sv, "epigraph"sv, "poem"sv, "stanza"sv, "cite"sv,
                         "section"sv, "table"sv, "annotation"sv, "body"sv})
        if (name == b) return true;
    return false;
}

struct Fb2Reader {
    explicit Fb2Reader(size_t cap) : book(cap) {}

    BookAssembler book;
    std::vector<std::string> notes;  // lines of the notes bodies, which go last
    std::vector<std::string> path;   // names of the open elements
    LineBuilder line;
    int bodies = 0;
    bool inBody = false, inNotes = false;
    int sections = 0;    // sections open in the current body
    size_t titleAt = 0;  // depth of the open section or body title; 0 for none
    int titleLevel = 0;
    std::vector<std::string> titleParts;
    int binaryDepth = 0;  // open <binary> elements: their base64 is skipped
    bool description = false;
    std::string* field = nullptr;  // the header value being read
    int authors = 0, genres = 0;
    std::string firstName, middleName, lastName, nickname, title, genre, subgenre, id, publisher,
        srcUrl;
    std::string error;
    XmlDocPtr entities;  // the HTML entities met so far
    xmlParserCtxtPtr ctxt = nullptr;

    void Flush() {
        std::string s = line.Take();
        if (s.empty()) return;
        if (titleAt) {
            titleParts.push_back(std::move(s));
        } else if (inNotes) {
            if (notes.size() < 1'000'000) notes.push_back(std::move(s));
        } else {
            book.AddLine(s);
            if (book.Full()) xmlStopParser(ctxt);
        }
    }

    void Start(std::string_view name, const xmlChar** attributes, int count) {
        path.emplace_back(name);
        if (name == "binary") ++binaryDepth;
        if (path.size() == 2 && name == "description") description = true;
        if (description) {
            StartField();
            return;
        }
        if (path.size() == 2 && name == "body") {
            ++bodies;
            inBody = true;
            sections = 0;
            std::string_view bodyName;
            for (int i = 0; i < count; ++i)
                if (LocalName(reinterpret_cast<const char*>(attributes[5 * i])) == "name")
                    bodyName = std::string_view(
                        reinterpret_cast<const char*>(attributes[5 * i + 3]),
                        static_cast<size_t>(attributes[5 * i + 4] - attributes[5 * i + 3]));
            inNotes = bodies > 1 && (bodyName == "notes" || bodyName == "comments");
        }
        if (!inBody) return;
        if (IsBlock(name)) Flush();
        if (name == "section") ++sections;
        if (name == "td" || name == "th") line.Blank();
        if (name == "title" && !titleAt && path.size() >= 2 &&
            (path[path.size() - 2] == "section" || path[path.size() - 2] == "body")) {
            titleAt = path.size();
            titleLevel = std::min(std::max(sections, 1), 4);
            titleParts.clear();
        }
    }

    void StartField() {
        // description/<info>/.../<field>: path[0] is the root.
        const auto at = [&](size_t i) { return i < path.size() ? std::string_view(path[i]) : ""; };
        field = nullptr;
        if (at(2) == "title-info") {
            if (path.size() == 4 && at(3) == "author") ++authors;
            if (path.size() == 5 && at(3) == "author" && authors == 1) {
                if (at(4) == "first-name") field = &firstName;
                if (at(4) == "middle-name") field = &middleName;
                if (at(4) == "last-name") field = &lastName;
                if (at(4) == "nickname") field = &nickname;
            }
            if (path.size() == 4 && at(3) == "book-title") field = &title;
            if (path.size() == 4 && at(3) == "genre") {
                ++genres;
                field = genres == 1 ? &genre : genres == 2 ? &subgenre : nullptr;
            }
        } else if (at(2) == "document-info" && path.size() == 4) {
            if (at(3) == "id") field = &id;
            if (at(3) == "src-url") field = &srcUrl;
        } else if (at(2) == "publish-info" && path.size() == 4 && at(3) == "publisher") {
            field = &publisher;
        }
        if (field) field->clear();
    }

    void End() {
        if (path.empty()) return;
        const std::string name = std::move(path.back());
        if (name == "binary") --binaryDepth;
        if (description) {
            field = nullptr;
            if (path.size() == 2) description = false;
        } else if (inBody) {
            if (IsBlock(name)) Flush();
            if (name == "section") --sections;
            if (titleAt == path.size()) {
                titleAt = 0;
                const std::string heading = JoinTitle(titleParts);
                if (inNotes) {
                    // The notes body's own title gives way to the chapter's.
                    if (!heading.empty() && path.size() > 3) notes.push_back(heading);
                } else {
                    book.AddHeading(heading, titleLevel);
                }
            }
            if (path.size() == 2 && name == "body") inBody = inNotes = false;
        }
        path.pop_back();
    }

    void Text(std::string_view utf8) {
        // libxml2 drops every later "&amp;" once a document is not well-formed; the only
        // entities this parser has are XML's and HTML's, which are safe to go on expanding.
        ctxt->wellFormed = 1;
        if (binaryDepth > 0) return;
        if (field) {
            if (field->size() < kFieldCap) field->append(utf8.substr(0, kFieldCap));
        } else if (inBody) {
            line.Add(utf8);
            // A paragraph without end cannot grow past the book's own limit.
            if (line.Size() > kArchiveTextCap) Flush();
        }
    }

    BookHeader Header() const {
        BookHeader h;
        h.BookAuthorFirstName = CleanLine(firstName);
        h.BookAuthorLastName = CleanLine(lastName);
        h.BookAuthor = CleanLine(firstName + " " + middleName + " " + lastName);
        if (h.BookAuthor.empty()) h.BookAuthor = CleanLine(nickname);
        h.BookTitle = CleanLine(title);
        h.BookGenre = CleanLine(genre);
        h.BookSubgenre = CleanLine(subgenre);
        h.BookId = CleanLine(id);
        h.BookCopyright = CleanLine(publisher);
        h.BookSource = CleanLine(srcUrl);
        return h;
    }
};

Fb2Reader& Self(void* ctx) {
    return *static_cast<Fb2Reader*>(ctx);
}

void OnStart(void* ctx, const xmlChar* localname, const xmlChar*, const xmlChar*, int,
             const xmlChar**, int attributeCount, int, const xmlChar** attributes) {
    Self(ctx).Start(reinterpret_cast<const char*>(localname), attributes, attributeCount);
}

void OnEnd(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
    Self(ctx).End();
}

void OnText(void* ctx, const xmlChar* text, int len) {
    Self(ctx).Text(std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(len)));
}

void OnError(void* ctx, xmlError* error) {
    std::string& first = Self(ctx).error;
    if (first.empty() && error && error->level >= XML_ERR_ERROR) first = XmlErrorText(error);
}

// Entities the document declares are never stored or expanded (a billion laughs stays a few
// bytes); the HTML ones careless converters write ("&nbsp;") give their characters.
xmlEntityPtr HtmlEntity(void* ctx, const xmlChar* name) {
    Fb2Reader& r = Self(ctx);
    const htmlEntityDesc* html = htmlEntityLookup(name);
    if (!html) return nullptr;
    if (!r.entities) {
        r.entities.reset(xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0")));
        if (!r.entities) return nullptr;
        xmlCreateIntSubset(r.entities.get(), reinterpret_cast<const xmlChar*>("x"), nullptr,
                           nullptr);
    }
    if (xmlEntityPtr known = xmlGetDocEntity(r.entities.get(), name)) return known;
    xmlChar utf8[8] = {};
    xmlCopyCharMultiByte(utf8, static_cast<int>(html->value));
    xmlEntityPtr e = xmlAddDocEntity(r.entities.get(), name, XML_INTERNAL_GENERAL_ENTITY, nullptr,
                                     nullptr, utf8);
    // A predefined entity goes to the text handler as it is, like "&amp;".
    if (e) e->etype = XML_INTERNAL_PREDEFINED_ENTITY;
    return e;
}

struct CtxtFree {
    void operator()(xmlParserCtxt* c) const { xmlFreeParserCtxt(c); }
};

}  // namespace

bool LooksLikeFb2(std::string_view bytes) {
    constexpr std::string_view kRoot = "<FictionBook";
    constexpr size_t kHead = 4096;  // characters before the root: declaration, comments
    // UTF-16 as Windows' editors save it, with its byte-order mark: the root's letters each
    // with a zero byte after (LE) or before (BE).
    const bool le = bytes.starts_with("\xFF\xFE"), be = bytes.starts_with("\xFE\xFF");
    if (!le && !be) return bytes.substr(0, kHead).find(kRoot) != std::string_view::npos;
    std::string wide;
    for (const char c : kRoot) {
        if (be) wide.push_back('\0');
        wide.push_back(c);
        if (le) wide.push_back('\0');
    }
    return bytes.substr(0, 2 * kHead).find(wide) != std::string_view::npos;
}

std::string Fb2ToBook(std::string_view bytes, const std::function<void(int, int)>& progress) {
    xmlSAXHandler sax{};
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = OnStart;
    sax.endElementNs = OnEnd;
    sax.characters = OnText;
    sax.cdataBlock = OnText;
    sax.serror = OnError;
    sax.getEntity = HtmlEntity;

    auto reader = std::make_unique<Fb2Reader>(kArchiveTextCap);
    std::unique_ptr<xmlParserCtxt, CtxtFree> ctxt(
        xmlCreatePushParserCtxt(&sax, reader.get(), nullptr, 0, nullptr));
    if (!ctxt) throw std::bad_alloc();
    reader->ctxt = ctxt.get();
    xmlCtxtUseOptions(ctxt.get(), XmlParseOptions());
    const std::string encoding = XmlFallbackEncoding(bytes);
    if (!encoding.empty()) {
        if (xmlCharEncodingHandlerPtr handler = xmlFindCharEncodingHandler(encoding.c_str()))
            xmlSwitchToEncoding(ctxt.get(), handler);
    }
    for (size_t at = 0;;) {
        const size_t take = std::min(kChunk, bytes.size() - at);
        const bool last = at + take == bytes.size();
        const int r = xmlParseChunk(ctxt.get(), bytes.data() + at, static_cast<int>(take), last);
        at += take;
        if (last || ctxt->disableSAX || (r != 0 && !(ctxt->options & XML_PARSE_RECOVER))) break;
    }
    // libxml2 may have made a document of its own for a DTD's declarations.
    if (ctxt->myDoc) xmlFreeDoc(std::exchange(ctxt->myDoc, nullptr));
    Fb2Reader& r = *reader;
    r.Flush();
    if (r.titleAt) {  // a title the document broke off in
        r.titleAt = 0;
        r.book.AddHeading(JoinTitle(r.titleParts), r.titleLevel);
    }
    if (!r.notes.empty()) {
        r.book.AddHeading(Utf8ToCp1251("Примечания"), 1);
        for (const std::string& n : r.notes)
            r.book.AddLine(n);
    }
    if (!r.book.HasText()) {
        throw UserError("Не удалось прочитать книгу FB2: " +
                        (r.error.empty() ? std::string("в ней нет текста") : r.error) + ".");
    }
    const BookHeader header = r.Header();
    return r.book.Finish(header, header.BookTitle, progress);
}

}  // namespace lectorix
