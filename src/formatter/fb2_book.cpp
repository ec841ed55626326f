#include "formatter/fb2_book.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
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

// Elements whose text makes a line of its own.
bool IsBlock(std::string_view name) {
    for (const auto b : {"p"sv, "v"sv, "subtitle"sv, "text-author"sv, "date"sv, "empty-line"sv,
                         "tr"sv, "title"sv, "epigraph"sv, "poem"sv, "stanza"sv, "cite"sv,
                         "section"sv, "table"sv, "annotation"sv, "body"sv})
        if (name == b) return true;
    return false;
}

struct Fb2Reader : XmlEvents {
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
    // A body's title is the parent of the body's sections: their entries go one level deeper
    // from this entry on, when the four levels of the contents leave room for it.
    size_t underTitle = SIZE_MAX;
    int deepest = 0;      // the deepest titled section of the body
    int apart = 0;        // open poems and epigraphs: their lines stand apart from the prose
    bool author = false;  // in a text-author
    std::vector<std::string> titleParts;
    int binaryDepth = 0;  // open <binary> elements: their base64 is skipped
    bool description = false;
    std::string* field = nullptr;  // the header value being read
    int authors = 0, genres = 0;
    std::string firstName, middleName, lastName, nickname, title, genre, subgenre, id, publisher,
        srcUrl;

    void Flush() {
        std::string s = line.Take();
        if (s.empty()) return;
        if (titleAt) {
            titleParts.push_back(std::move(s));
        } else if (inNotes) {
            if (notes.size() < 1'000'000) notes.push_back(std::move(s));
        } else {
            // An author is signed after a dash, unless the book put one there already.
            if (author && std::string_view("-\x96\x97").find(s[0]) == std::string_view::npos)
                s = "\x97 " + s;
            if (apart > 0 || author) {
                book.AddApartLine(s);
            } else {
                book.AddLine(s);
            }
            if (book.Full()) Stop();
        }
    }

    void EndBody() {
        if (underTitle != SIZE_MAX && deepest + 1 <= 4) book.DeepenEntries(underTitle);
        underTitle = SIZE_MAX;
        deepest = 0;
        inBody = inNotes = false;
    }

    void Start(std::string_view name, std::span<const XmlAttribute> attributes) override {
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
            for (const XmlAttribute& a : attributes)
                if (a.Name == "name") bodyName = a.Value;
            inNotes = bodies > 1 && (bodyName == "notes" || bodyName == "comments");
        }
        if (!inBody) return;
        if (IsBlock(name)) Flush();
        if (name == "section") ++sections;
        if (name == "poem" || name == "epigraph") ++apart;
        if (name == "text-author") author = true;
        if (name == "td" || name == "th") line.Blank();
        if (name == "title" && !titleAt && path.size() >= 2 &&
            (path[path.size() - 2] == "section" || path[path.size() - 2] == "body")) {
            titleAt = path.size();
            titleLevel = std::max(sections, 1);
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

    void End(std::string_view) override {
        if (path.empty()) return;
        const std::string name = std::move(path.back());
        if (name == "binary") --binaryDepth;
        if (description) {
            field = nullptr;
            if (path.size() == 2) description = false;
        } else if (inBody) {
            if (IsBlock(name)) Flush();
            if (name == "section") --sections;
            if (name == "poem" || name == "epigraph") --apart;
            if (name == "text-author") author = false;
            if (titleAt == path.size()) {
                titleAt = 0;
                const std::string heading = JoinTitle(titleParts);
                if (inNotes) {
                    // The notes body's own title gives way to the chapter's.
                    if (!heading.empty() && path.size() > 3) notes.push_back(heading);
                } else {
                    const size_t before = book.EntryCount();
                    book.AddHeading(heading, titleLevel);
                    if (book.EntryCount() > before) {
                        if (sections == 0) underTitle = book.EntryCount();
                        deepest = std::max(deepest, titleLevel);
                    }
                }
            }
            if (path.size() == 2 && name == "body") EndBody();
        }
        path.pop_back();
    }

    void Text(std::string_view utf8) override {
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

}  // namespace

bool LooksLikeFb2(std::string_view bytes) {
    constexpr std::string_view kRoot = "<FictionBook";
    constexpr size_t kHead = 4096;  // characters before the root: declaration, comments
    // UTF-16 as Windows' editors save it, with its byte-order mark: the root's letters each
    // with a zero byte after (LE) or before (BE).
    const bool le = bytes.starts_with("\xFF\xFE"), be = bytes.starts_with("\xFE\xFF");
    bool near = false;
    if (!le && !be) {
        near = bytes.substr(0, kHead).find(kRoot) != std::string_view::npos;
    } else {
        std::string wide;
        for (const char c : kRoot) {
            if (be) wide.push_back('\0');
            wide.push_back(c);
            if (le) wide.push_back('\0');
        }
        near = bytes.substr(0, 2 * kHead).find(wide) != std::string_view::npos;
    }
    // A long DTD or comments may come first: the first element after them is the root.
    return near || LocalName(FirstElementName(bytes)) == kRoot.substr(1);
}

std::string Fb2ToBook(std::string_view bytes, const std::function<void(int, int)>& progress,
                      const FirstPart& firstPart) {
    if (const std::string problem = MarkupProblem(bytes); !problem.empty())
        throw UserError("Не удалось прочитать книгу FB2: " + problem + ".");
    auto reader = std::make_unique<Fb2Reader>(kArchiveTextCap);
    Fb2Reader& r = *reader;
    const XmlEncoding encoding = ChooseXmlEncoding(bytes);
    if (!encoding.Declared.empty())
        r.book.AddWarning("Книга записана не в объявленной в ней кодировке " + encoding.Declared +
                          ": она прочитана как " + encoding.Name + ".");
    // The description comes before the body: by the first chapters the header is known.
    if (firstPart) r.book.OfferFirstPart(firstPart, [&r] { return r.Header(); });
    const XmlOutcome outcome = StreamXml(bytes, r, encoding.Name);
    r.Flush();
    if (r.titleAt) {  // a title the document broke off in
        r.titleAt = 0;
        r.book.AddHeading(JoinTitle(r.titleParts), r.titleLevel);
        r.deepest = std::max(r.deepest, r.titleLevel);
    }
    if (r.inBody) r.EndBody();
    if (!r.notes.empty()) {
        r.book.AddHeading(Utf8ToCp1251("Примечания"), 1);
        for (const std::string& n : r.notes)
            r.book.AddLine(n);
    }
    if (!r.book.HasText()) {
        throw UserError(
            "Не удалось прочитать книгу FB2: " +
            (outcome.FirstError.empty() ? std::string("в ней нет текста") : outcome.FirstError) +
            ".");
    }
    // A book that breaks off opens with what there is, and says so.
    if (!outcome.Finished && !r.book.Full()) {
        std::string why = outcome.TooDeep
                              ? "элементы вложены глубже " + std::to_string(kMaxDepth) + " уровней"
                              : outcome.LastError;
        r.book.AddWarning("Книга обрывается" + (why.empty() ? std::string() : " (" + why + ")") +
                          ": открыто то, что удалось прочитать.");
    }
    const BookHeader header = r.Header();
    return r.book.Finish(header, header.BookTitle, progress, firstPart);
}

}  // namespace lectorix
