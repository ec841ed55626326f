#include "formatter/epub_book.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <vector>

#include "book/archive_reader.h"
#include "book/cp1251.h"
#include "book/text_helpers.h"
#include "book/text_loader.h"
#include "formatter/book_assembler.h"
#include "formatter/xml_input.h"

namespace lectorix {
namespace {

using namespace std::string_view_literals;

constexpr size_t kMaxDocument = 16u << 20;  // one file of a book, unpacked
constexpr size_t kTextOfCap = 4096;         // a title or a header value

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return out;
}

bool EqualsLower(std::string_view s, std::string_view lower) {
    return s.size() == lower.size() &&
           std::equal(s.begin(), s.end(), lower.begin(), [](char a, char b) {
               return (a >= 'A' && a <= 'Z' ? static_cast<char>(a + 32) : a) == b;
           });
}

std::string_view AttrOf(std::span<const XmlAttribute> attributes, std::string_view name) {
    for (const XmlAttribute& a : attributes)
        if (EqualsLower(a.Name, name)) return a.Value;
    return {};
}

[[noreturn]] void Fail(const std::string& why) {
    throw UserError("Не удалось прочитать книгу EPUB: " + why + ".");
}

// Percent escapes of a link undone.
std::string UnescapeUrl(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() &&
            std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            out += static_cast<char>(std::stoi(std::string(s.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// The archive path of `href` (fragment cut off) from the folder of the file `base`.
std::string ResolvePath(const std::string& base, std::string_view href) {
    href = href.substr(0, href.find('#'));
    if (href.empty()) return base;
    std::string joined = UnescapeUrl(href);
    if (!joined.starts_with('/')) {
        const size_t slash = base.rfind('/');
        joined = (slash == std::string::npos ? std::string() : base.substr(0, slash + 1)) + joined;
    }
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= joined.size()) {
        size_t end = joined.find('/', start);
        if (end == std::string::npos) end = joined.size();
        const std::string part = joined.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out;
    for (const auto& p : parts)
        out += (out.empty() ? "" : "/") + p;
    return out;
}

std::string Fragment(std::string_view href) {
    const size_t hash = href.find('#');
    return hash == std::string_view::npos ? std::string() : UnescapeUrl(href.substr(hash + 1));
}

// Pictures, fonts, sound and style sheets never give text: not read from the archive.
bool MayHoldText(const std::string& name) {
    const std::string lower = Lower(name);
    for (const auto ext : {".jpg"sv, ".jpeg"sv, ".png"sv, ".gif"sv, ".webp"sv, ".bmp"sv, ".ttf"sv,
                           ".otf"sv, ".woff"sv, ".woff2"sv, ".mp3"sv, ".mp4"sv, ".m4a"sv, ".ogg"sv,
                           ".css"sv, ".js"sv, ".pdf"sv})
        if (lower.ends_with(ext)) return false;
    return true;
}

bool IsBlockElement(std::string_view name) {
    for (const auto b :
         {"p"sv,       "div"sv,        "li"sv,      "blockquote"sv, "pre"sv,    "tr"sv,    "dt"sv,
          "dd"sv,      "section"sv,    "article"sv, "header"sv,     "footer"sv, "aside"sv, "nav"sv,
          "figure"sv,  "figcaption"sv, "table"sv,   "ul"sv,         "ol"sv,     "dl"sv,    "hr"sv,
          "address"sv, "center"sv,     "caption"sv, "main"sv,       "body"sv,   "h1"sv,    "h2"sv,
          "h3"sv,      "h4"sv,         "h5"sv,      "h6"sv})
        if (name == b) return true;
    return false;
}

// What an element's class says of its lines: "apart" for verse and epigraphs, "author" for
// the author who signs them, else empty.
std::string ClassKind(std::string_view classes) {
    const std::string lower = Lower(classes);
    auto has = [&](std::string_view word) { return lower.find(word) != std::string::npos; };
    if (has("author") || has("attribution")) return "author";
    if (has("poem") || has("stanza") || has("verse") || has("poetry") || has("line-block") ||
        has("epigraph"))
        return "apart";
    return {};
}

int HeadingLevel(std::string_view name) {
    return name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6' ? name[1] - '0'
                                                                                  : 0;
}

struct NavPoint {
    std::string Doc;  // the link as the navigation gives it until Resolve, then its document
    std::string Id, Title;
    int Level = 1;
    bool Placed = false;
    bool Found = false;  // its anchor is in its document
};

// Entries by their anchor, in navigation order among equals: a sorted list costs a tenth of a
// map of a hundred thousand entries.
using AnchorList = std::vector<std::pair<std::string_view, NavPoint*>>;

auto WithAnchor(const AnchorList& list, std::string_view id) {
    return std::equal_range(list.begin(), list.end(),
                            std::pair<std::string_view, NavPoint*>(id, nullptr),
                            [](const auto& a, const auto& b) { return a.first < b.first; });
}

NavPoint AtLevel(int level) {
    NavPoint p;
    p.Level = level;
    return p;
}

// The entries with a link into the book, their documents' paths resolved from `path`.
void Resolve(std::vector<NavPoint>& points, const std::string& path) {
    std::erase_if(points, [](const NavPoint& p) {
        return p.Doc.empty() || p.Doc.find("://") != std::string::npos;
    });
    for (NavPoint& p : points) {
        p.Id = Fragment(p.Doc);
        p.Doc = ResolvePath(path, p.Doc);
    }
    points.shrink_to_fit();
}

// Elements whose events are not wanted; only Start matters.
struct StartsOnly : XmlEvents {
    void End(std::string_view) override {}
    void Text(std::string_view) override {}
};

// The encoding of an XHTML document, its stray bytes made '?' when it is UTF-8.
XmlEncoding HtmlEncoding(std::string& bytes) {
    XmlEncoding encoding = ChooseHtmlEncoding(bytes);
    if (encoding.Name == "UTF-8") ReplaceInvalidUtf8(bytes);
    return encoding;
}

// A document of the book read as events, refused naming it when it is past the bounds.
XmlOutcome ReadXmlDocument(std::string& bytes, const std::string& path, XmlEvents& events) {
    if (const std::string problem = PrepareMarkup(bytes, false); !problem.empty())
        Fail("в файле " + path + " " + problem);
    return StreamXml(bytes, events, ChooseXmlEncoding(bytes).Name);
}

XmlOutcome ReadHtmlDocument(std::string& bytes, const std::string& path, XmlEvents& events) {
    if (const std::string problem = PrepareMarkup(bytes, true); !problem.empty())
        Fail("в файле " + path + " " + problem);
    return StreamHtml(bytes, events, HtmlEncoding(bytes).Name);
}

// META-INF/container.xml: the package documents it names.
struct ContainerEvents : StartsOnly {
    std::vector<std::string> RootFiles;
    void Start(std::string_view name, std::span<const XmlAttribute> a) override {
        if (EqualsLower(name, "rootfile")) RootFiles.emplace_back(AttrOf(a, "full-path"));
    }
};

// META-INF/encryption.xml: the files encrypted with anything but the obfuscation of fonts.
struct EncryptionEvents : StartsOnly {
    std::vector<std::string> Encrypted;
    std::string algorithm;
    void Start(std::string_view name, std::span<const XmlAttribute> a) override {
        if (EqualsLower(name, "encryptionmethod")) algorithm = AttrOf(a, "algorithm");
        if (EqualsLower(name, "cipherreference") &&
            algorithm != "http://www.idpf.org/2008/embedding" &&
            algorithm != "http://ns.adobe.com/pdf/enc#RC")
            Encrypted.push_back(ResolvePath("", AttrOf(a, "uri")));
        if (EqualsLower(name, "encrypteddata")) algorithm.clear();
    }
};

struct ManifestItem {
    std::string Path, MediaType, Properties;
};

// The package document: manifest, spine and Dublin Core.
struct PackageEvents : XmlEvents {
    explicit PackageEvents(const std::string& opfPath) : path(opfPath) {}

    const std::string& path;
    bool RootSeen = false;
    std::string UniqueId, NcxId;
    std::map<std::string, ManifestItem> Manifest;
    std::vector<std::string> SpineIds;
    BookHeader Header;
    std::vector<std::string> Subjects;
    std::string Creator, FileAs, CreatorId, Publisher;
    std::map<std::string, std::string> RefinedFileAs;

    void Start(std::string_view name, std::span<const XmlAttribute> a) override {
        ++depth;
        const std::string n = Lower(name);
        if (!RootSeen) {
            RootSeen = true;
            UniqueId = AttrOf(a, "unique-identifier");
        }
        if (n == "item" && Manifest.size() < kMaxArchiveEntries)
            Manifest[std::string(AttrOf(a, "id"))] = {ResolvePath(path, AttrOf(a, "href")),
                                                      Lower(AttrOf(a, "media-type")),
                                                      std::string(AttrOf(a, "properties"))};
        if (metadataAt > 0 && depth == metadataAt + 1) {
            fieldAt = depth;
            field = n;
            fieldText = LineBuilder();
            fileAs = AttrOf(a, "file-as");
            id = AttrOf(a, "id");
            property = AttrOf(a, "property");
            refines = AttrOf(a, "refines");
        }
        if (n == "metadata" && metadataAt == 0) metadataAt = depth;
        if (n == "spine" && spineAt == 0) {
            spineAt = depth;
            NcxId = AttrOf(a, "toc");
        } else if (n == "itemref" && spineAt > 0 && SpineIds.size() < kMaxArchiveEntries) {
            SpineIds.emplace_back(AttrOf(a, "idref"));
        }
    }
    void End(std::string_view) override {
        if (fieldAt == depth) {
            fieldAt = 0;
            Field(fieldText.Take());
        }
        if (metadataAt == depth) metadataAt = -1;  // only the first metadata counts
        if (spineAt == depth) spineAt = -1;
        --depth;
    }
    void Text(std::string_view utf8) override {
        if (fieldAt > 0 && fieldText.Size() < kTextOfCap) fieldText.Add(utf8);
    }

  private:
    // The first of each; the identifier the package names, if it names one.
    void Field(const std::string& text) {
        if (field == "meta" && property == "file-as") RefinedFileAs[refines] = text;
        if (field == "title" && Header.BookTitle.empty()) Header.BookTitle = text;
        if (field == "creator" && Creator.empty()) {
            Creator = text;
            FileAs = CleanLine(fileAs);
            CreatorId = id;
        }
        if (field == "subject" && !text.empty() && Subjects.size() < 2) Subjects.push_back(text);
        if (field == "identifier" &&
            (Header.BookId.empty() || (!UniqueId.empty() && id == UniqueId)))
            Header.BookId = text;
        if (field == "rights" && Header.BookCopyright.empty()) Header.BookCopyright = text;
        if (field == "source" && Header.BookSource.empty()) Header.BookSource = text;
        if (field == "publisher" && Publisher.empty()) Publisher = text;
    }

    int depth = 0, metadataAt = 0, spineAt = 0, fieldAt = 0;
    std::string field, fileAs, id, property, refines;
    LineBuilder fieldText;
};

// EPUB 3: the <nav> of type "toc" (else the first that lists no landmarks or pages), its nested
// lists giving the levels; an entry is the first link or span of a list item.
struct NavEvents : XmlEvents {
    std::vector<NavPoint> Result() { return std::move(tocFound ? toc : fallback); }

    void Start(std::string_view name, std::span<const XmlAttribute> a) override {
        ++depth;
        if (labelAt) return;
        const std::string n = Lower(name);
        if (navAt == 0) {
            if (n != "nav") return;
            navAt = depth;
            const std::string_view type = AttrOf(a, "type");
            isToc = type.find("toc") != std::string_view::npos;
            eligible = type.find("landmarks") == std::string_view::npos &&
                       type.find("page-list") == std::string_view::npos;
            current.clear();
            return;
        }
        if (n == "li") {
            items.push_back({depth, current.size() <= kMaxContentsEntries});
            if (items.back().Counted) {
                current.push_back(AtLevel(static_cast<int>(items.size())));
                items.back().Entry = current.size() - 1;
            }
        } else if ((n == "a" || n == "span") && !items.empty() && items.back().Depth == depth - 1 &&
                   !items.back().Labelled) {
            items.back().Labelled = true;
            labelAt = depth;
            label = LineBuilder();
            href = AttrOf(a, "href");
        }
    }
    void End(std::string_view) override {
        if (labelAt == depth) {
            labelAt = 0;
            if (items.back().Counted) {
                current[items.back().Entry].Doc = href;
                current[items.back().Entry].Title = label.Take();
            }
        }
        if (!items.empty() && items.back().Depth == depth) items.pop_back();
        if (navAt == depth) {
            navAt = 0;
            if (isToc) {
                toc = std::move(current);
                tocFound = true;
                Stop();
            } else if (eligible && !fallbackFound) {
                fallback = std::move(current);
                fallbackFound = true;
            }
        }
        --depth;
    }
    void Text(std::string_view utf8) override {
        if (labelAt && label.Size() < kTextOfCap) label.Add(utf8);
    }

  private:
    struct Item {
        int Depth;
        bool Counted;  // false past the most entries a book takes
        size_t Entry = 0;
        bool Labelled = false;
    };
    int depth = 0, navAt = 0, labelAt = 0;
    bool isToc = false, eligible = false, tocFound = false, fallbackFound = false;
    std::vector<NavPoint> current, toc, fallback;
    std::vector<Item> items;
    LineBuilder label;
    std::string href;
};

// EPUB 2: the navMap of toc.ncx, nested navPoints giving the levels.
struct NcxEvents : XmlEvents {
    std::vector<NavPoint> Points;

    void Start(std::string_view name, std::span<const XmlAttribute> a) override {
        ++depth;
        if (labelAt) return;
        const std::string n = Lower(name);
        if (n == "navpoint") {
            const bool counted = Points.size() <= kMaxContentsEntries;
            if (counted) Points.push_back(AtLevel(static_cast<int>(open.size()) + 1));
            open.push_back({depth, counted ? Points.size() - 1 : SIZE_MAX});
            return;
        }
        if (open.empty() || open.back().Depth != depth - 1 || open.back().Entry == SIZE_MAX) return;
        NavPoint& p = Points[open.back().Entry];
        if (n == "navlabel" && p.Title.empty()) {
            labelAt = depth;
            label = LineBuilder();
        }
        if (n == "content" && p.Doc.empty()) p.Doc = AttrOf(a, "src");
    }
    void End(std::string_view) override {
        if (labelAt == depth) {
            labelAt = 0;
            Points[open.back().Entry].Title = label.Take();
        }
        if (!open.empty() && open.back().Depth == depth) open.pop_back();
        --depth;
    }
    void Text(std::string_view utf8) override {
        if (labelAt && label.Size() < kTextOfCap) label.Add(utf8);
    }

  private:
    struct Open {
        int Depth;
        size_t Entry;
    };
    int depth = 0, labelAt = 0;
    std::vector<Open> open;
    LineBuilder label;
};

// Whether a document has headings h1-h3: counted up to `enough`.
struct HeadingEvents : StartsOnly {
    explicit HeadingEvents(int e) : enough(e) {}
    int enough, Count = 0;
    void Start(std::string_view name, std::span<const XmlAttribute>) override {
        const int level = HeadingLevel(Lower(name));
        if (level >= 1 && level <= 3 && ++Count >= enough) Stop();
    }
};

// Names as a book's links give them to the names the archive has: exactly, else without regard
// to letter case (books made where file names ignore it), else by the file's name alone when
// only one file has it.
class NameIndex {
  public:
    template <typename Names>
    explicit NameIndex(const Names& names) {
        for (const auto& n : names) {
            const std::string& name = Key(n);
            exact_.insert(name);
            byLower_.emplace(Lower(name), name);
            auto [it, added] = byFileName_.emplace(Lower(FileName(name)), name);
            if (!added && it->second != name) it->second.clear();  // not one file
        }
    }
    // The name in the index `link` stands for; empty when there is none.
    std::string Find(const std::string& link) const {
        if (exact_.count(link)) return link;
        if (const auto it = byLower_.find(Lower(link)); it != byLower_.end()) return it->second;
        if (const auto it = byFileName_.find(Lower(FileName(link))); it != byFileName_.end())
            return it->second;
        return {};
    }

  private:
    static const std::string& Key(const std::string& s) { return s; }
    template <typename V>
    static const std::string& Key(const std::pair<const std::string, V>& p) {
        return p.first;
    }
    static std::string_view FileName(std::string_view path) {
        return path.substr(path.rfind('/') + 1);
    }
    std::set<std::string> exact_;
    std::map<std::string, std::string> byLower_, byFileName_;
};

// First pass over a document: which of the wanted anchors it holds, and whether it has a body.
struct AnchorEvents : StartsOnly {
    explicit AnchorEvents(const AnchorList& w) : wanted(w) {}
    const AnchorList& wanted;
    bool Body = false;
    void Start(std::string_view name, std::span<const XmlAttribute> a) override {
        if (EqualsLower(name, "body")) Body = true;
        for (const std::string_view key : {"id"sv, "name"sv}) {
            if (const std::string_view id = AttrOf(a, key); !id.empty()) {
                const auto [from, to] = WithAnchor(wanted, id);
                for (auto it = from; it != to; ++it)
                    it->second->Found = true;
            }
        }
    }
};

class EpubReader {
  public:
    EpubReader() : book_(kArchiveTextCap) {}

    // Adds the lines of one spine document; `nav` holds the entries into it.
    void AddDocument(std::string& bytes, const std::string& path, std::vector<NavPoint*> nav,
                     bool headingsAsEntries) {
        if (const std::string problem = PrepareMarkup(bytes, true); !problem.empty())
            Fail("в файле " + path + " " + problem);
        const XmlEncoding encoding = HtmlEncoding(bytes);
        if (!encoding.Declared.empty()) wrongEncoding_ = encoding;
        // Entries whose target this document lacks stand at its start.
        AnchorList at;
        for (NavPoint* p : nav)
            if (!p->Id.empty()) at.emplace_back(p->Id, p);
        std::stable_sort(at.begin(), at.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        int hasBody = -1;  // not known
        if (!at.empty()) {
            AnchorEvents anchors(at);
            StreamHtml(bytes, anchors, encoding.Name);
            hasBody = anchors.Body;
        }
        for (NavPoint* p : nav)
            if (!p->Found) Place(*p);
        // The text of the first body; of the whole first element when there is none.
        TextEvents events(*this, at, headingsAsEntries, hasBody == 0);
        XmlOutcome outcome = StreamHtml(bytes, events, encoding.Name);
        if (hasBody < 0 && !events.RegionSeen) {
            TextEvents whole(*this, at, headingsAsEntries, true);
            outcome = StreamHtml(bytes, whole, encoding.Name);
        }
        if (outcome.TooDeep)
            book_.AddWarning("В файле " + path + " книги элементы вложены глубже " +
                             std::to_string(kMaxDepth) + " уровней: его конец не прочитан.");
        Flush();
    }

    BookAssembler& Book() { return book_; }
    const XmlEncoding& WrongEncoding() const { return wrongEncoding_; }

  private:
    struct TextEvents : XmlEvents {
        TextEvents(EpubReader& r, const AnchorList& a, bool headings, bool whole)
            : reader(r), at(a), headingsAsEntries(headings), wholeElement(whole) {}

        EpubReader& reader;
        const AnchorList& at;
        bool headingsAsEntries, wholeElement;
        bool RegionSeen = false;
        int depth = 0, regionAt = 0, skipAt = 0;
        bool inPre = false;
        // Lines that stand apart: in a poem or an epigraph (by their class), in the block whose
        // lines a <br> breaks (verse as most books write it), in preformatted text.
        int apartAt = 0, linesAt = 0, authorAt = 0;
        std::vector<int> blocks;  // depths of the open block elements

        void SetApart() {
            // A <br> breaks the lines of its own block, not those of the blocks inside it.
            const bool lines = linesAt > 0 && !blocks.empty() && blocks.back() == linesAt;
            reader.apart_ = apartAt > 0 || lines || inPre;
            reader.author_ = reader.apart_ && authorAt > 0;
        }

        void Start(std::string_view name, std::span<const XmlAttribute> a) override {
            ++depth;
            if (skipAt) return;
            const std::string n = Lower(name);
            if (!regionAt) {
                if (wholeElement ? depth != 1 : n != "body") return;
                regionAt = depth;
                RegionSeen = true;
            }
            if (reader.book_.Full()) return Stop();
            if (n == "script" || n == "style" || n == "head" || n == "template") {
                skipAt = depth;
                return;
            }
            if (n == "br" && !linesAt && !blocks.empty()) {
                linesAt = blocks.back();
                SetApart();
            }
            if (IsBlockElement(n) || n == "br") reader.Flush();
            if (n == "td" || n == "th") reader.line_.Blank();
            if (n == "pre") inPre = true;
            if (IsBlockElement(n)) blocks.push_back(depth);
            const std::string kind = ClassKind(AttrOf(a, "class"));
            if (!apartAt && kind == "apart") apartAt = depth;
            if (!authorAt && kind == "author") authorAt = depth;
            SetApart();
            for (const std::string_view key : {"id"sv, "name"sv}) {
                const std::string_view id = AttrOf(a, key);
                if (id.empty()) continue;
                const auto [from, to] = WithAnchor(at, id);
                for (auto it = from; it != to; ++it)
                    reader.Place(*it->second);
            }
        }
        void End(std::string_view name) override {
            if (skipAt || !regionAt) {
                if (skipAt == depth) skipAt = 0;
                --depth;
                return;
            }
            const std::string n = Lower(name);
            const int level = HeadingLevel(n);
            if (headingsAsEntries && level >= 1 && level <= 3) {
                reader.book_.AddHeading(reader.line_.Take(), level);
            } else if (IsBlockElement(n) || depth == linesAt || depth == apartAt) {
                reader.Flush();
            }
            if (n == "pre") inPre = false;
            if (!blocks.empty() && blocks.back() == depth) blocks.pop_back();
            for (int* at : {&apartAt, &linesAt, &authorAt})
                if (*at == depth) *at = 0;
            SetApart();
            if (depth == regionAt) Stop();
            --depth;
        }
        void Text(std::string_view utf8) override {
            if (skipAt || !regionAt) return;
            if (reader.book_.Full()) return Stop();
            reader.AddText(utf8, inPre);
        }
    };

    void Place(NavPoint& p) {
        if (p.Placed) return;
        p.Placed = true;
        // The entry's line starts here: text before the target ends its own line.
        Flush();
        book_.AddEntryHere(p.Title, p.Level);
    }

    void AddText(std::string_view utf8, bool pre) {
        if (!pre) {
            line_.Add(utf8);
            if (line_.Size() > kArchiveTextCap) Flush();
            return;
        }
        for (size_t nl; (nl = utf8.find('\n')) != std::string_view::npos;) {
            line_.Add(utf8.substr(0, nl));
            Flush();
            utf8.remove_prefix(nl + 1);
        }
        line_.Add(utf8);
    }

    void Flush() {
        std::string line = line_.Take();
        if (line.empty()) return;
        if (author_ && std::string_view("-\x96\x97").find(line[0]) == std::string_view::npos)
            line = "\x97 " + line;
        if (apart_) {
            book_.AddApartLine(line);
        } else {
            book_.AddLine(line);
        }
    }

    BookAssembler book_;
    LineBuilder line_;
    bool apart_ = false, author_ = false;  // how the next lines are set
    XmlEncoding wrongEncoding_;
};

}  // namespace

bool LooksLikeEpub(std::string_view bytes) {
    if (!bytes.starts_with("PK\x03\x04")) return false;
    // The usual layout: "mimetype" first and stored, its content right after its name.
    // A zip cut short before that is still looked into (and found damaged there).
    if (bytes.size() > 30 && bytes.substr(30, 28) == "mimetypeapplication/epub+zip") return true;
    try {
        const ArchiveFiles zip = ReadArchiveFiles(
            bytes,
            [](const std::string& n) { return n == "mimetype" || n == "META-INF/container.xml"; },
            1 << 20);
        const auto mime = zip.Files.find("mimetype");
        return zip.Files.count("META-INF/container.xml") ||
               (mime != zip.Files.end() && Trim(mime->second) == "application/epub+zip");
    } catch (const UserError&) {
        return false;
    }
}

namespace {

// The document of an entry, or a document's path itself: what entries are looked up by.
std::string_view DocOf(const NavPoint* p) {
    return p->Doc;
}
std::string_view DocOf(const std::string& path) {
    return path;
}

// The headings h1-h3 of the spine's documents, counted up to `enough`. A document the reading
// would refuse is left to it.
template <typename File>
int SpineHeadings(const std::vector<std::string>& spine, const File& file, int enough) {
    int count = 0;
    for (const std::string& path : spine) {
        std::string* data = file(path);
        if (!data || !PrepareMarkup(*data, true).empty()) continue;
        HeadingEvents events(enough - count);
        StreamHtml(*data, events, HtmlEncoding(*data).Name);
        if ((count += events.Count) >= enough) break;
    }
    return count;
}

}  // namespace

std::string EpubToBook(std::string_view bytes, const std::function<void(int, int)>& progress,
                       const FirstPart& firstPart) {
    ArchiveFiles zip;
    try {
        zip = ReadArchiveFiles(bytes, MayHoldText, kArchiveTextCap, kMaxDocument);
    } catch (const UserError& e) {
        Fail(e.what());
    }
    if (zip.Files.empty() && zip.Encrypted.empty())
        Fail(zip.Complete ? "в архиве нет файлов книги" : "это не архив ZIP или он повреждён");
    const NameIndex names(zip.Files);
    auto file = [&](const std::string& path) -> std::string* {
        auto it = zip.Files.find(path);
        if (it == zip.Files.end()) it = zip.Files.find(names.Find(path));
        return it == zip.Files.end() ? nullptr : &it->second;
    };
    auto forget = [&](const std::string& path) {
        if (!zip.Files.erase(path)) zip.Files.erase(names.Find(path));
    };

    // The package document: named by the container, else the first .opf there is.
    std::string opfPath;
    if (std::string* container = file("META-INF/container.xml")) {
        ContainerEvents events;
        ReadXmlDocument(*container, "META-INF/container.xml", events);
        for (const std::string& root : events.RootFiles) {
            opfPath = ResolvePath("", root);
            if (file(opfPath)) break;
        }
    }
    if (!file(opfPath)) {
        opfPath.clear();
        for (const auto& [name, data] : zip.Files)
            if (Lower(name).ends_with(".opf")) {
                opfPath = name;
                break;
            }
    }
    if (opfPath.empty()) {
        if (!zip.Encrypted.empty()) Fail("она зашифрована, её текст не прочитать");
        Fail("в архиве нет описания книги (файла .opf)");
    }
    PackageEvents package(opfPath);
    const XmlOutcome opf = ReadXmlDocument(*file(opfPath), opfPath, package);
    if (!package.RootSeen)
        Fail("описание книги " + opfPath + " не читается (" + opf.FirstError + ")");
    const std::map<std::string, ManifestItem>& manifest = package.Manifest;
    std::vector<std::string> spine;
    for (const std::string& id : package.SpineIds) {
        const auto it = manifest.find(id);
        if (it != manifest.end()) spine.push_back(it->second.Path);
    }

    BookHeader header = package.Header;
    const std::vector<std::string>& subjects = package.Subjects;
    if (header.BookSource.empty()) header.BookSource = package.Publisher;
    if (subjects.size() > 0) header.BookGenre = subjects[0];
    if (subjects.size() > 1) header.BookSubgenre = subjects[1];
    const std::string& creator = package.Creator;
    header.BookAuthor = creator;
    std::string fileAs = package.FileAs;
    if (fileAs.empty() && !package.CreatorId.empty())
        fileAs = package.RefinedFileAs["#" + package.CreatorId];
    // "Last, First" names both; else the last word of the name is the last name.
    if (const size_t comma = fileAs.find(','); comma != std::string::npos) {
        header.BookAuthorLastName = std::string(Trim(fileAs.substr(0, comma)));
        header.BookAuthorFirstName = std::string(Trim(fileAs.substr(comma + 1)));
    } else if (const size_t blank = creator.rfind(' '); blank != std::string::npos) {
        header.BookAuthorLastName = creator.substr(blank + 1);
        header.BookAuthorFirstName = creator.substr(0, creator.find(' '));
    }

    // Files encrypted in the archive, or by the encryption the book declares (fonts aside).
    std::set<std::string> encrypted(zip.Encrypted.begin(), zip.Encrypted.end());
    if (std::string* declared = file("META-INF/encryption.xml")) {
        EncryptionEvents events;
        ReadXmlDocument(*declared, "META-INF/encryption.xml", events);
        encrypted.insert(events.Encrypted.begin(), events.Encrypted.end());
    }

    // Navigation: EPUB 3's nav document, else EPUB 2's NCX, let go once read unless it is read
    // again as a part of the text.
    const std::set<std::string> inSpine(spine.begin(), spine.end());
    auto done = [&](const std::string& path) {
        if (!inSpine.count(path)) forget(path);
    };
    std::vector<NavPoint> nav;
    for (const auto& [id, item] : manifest) {
        if (item.Properties.find("nav") == std::string::npos || !file(item.Path)) continue;
        if (!encrypted.count(item.Path)) {
            NavEvents events;
            ReadHtmlDocument(*file(item.Path), item.Path, events);
            nav = events.Result();
            Resolve(nav, item.Path);
            done(item.Path);
        }
        break;
    }
    if (nav.empty()) {
        auto it = manifest.find(package.NcxId);
        if (it == manifest.end())
            it = std::find_if(manifest.begin(), manifest.end(), [](const auto& m) {
                return m.second.MediaType == "application/x-dtbncx+xml";
            });
        if (it != manifest.end() && file(it->second.Path) && !encrypted.count(it->second.Path)) {
            NcxEvents events;
            ReadXmlDocument(*file(it->second.Path), it->second.Path, events);
            nav = std::move(events.Points);
            Resolve(nav, it->second.Path);
            done(it->second.Path);
        }
    }
    // Entries into documents the spine lacks could never be reached.
    const NameIndex spineNames(inSpine);
    for (NavPoint& p : nav)
        p.Doc = spineNames.Find(p.Doc);
    std::erase_if(nav, [&](const NavPoint& p) { return p.Doc.empty() || p.Title.empty(); });
    // A navigation that gives next to nothing (the book's start alone) gives way to the
    // documents' own headings, when they have more.
    if (nav.size() == 1 && SpineHeadings(spine, file, 2) >= 2) nav.clear();
    std::vector<NavPoint*> navInto;  // by document, in navigation order among equals
    for (NavPoint& p : nav)
        navInto.push_back(&p);
    std::stable_sort(navInto.begin(), navInto.end(),
                     [](const NavPoint* a, const NavPoint* b) { return a->Doc < b->Doc; });

    EpubReader reader;
    if (firstPart) reader.Book().OfferFirstPart(firstPart, [&header] { return header; });
    std::set<std::string> read;
    size_t locked = 0;
    for (const std::string& path : spine) {
        if (!read.insert(path).second) continue;  // a document listed twice is read once
        if (encrypted.count(path)) {
            ++locked;
            continue;
        }
        std::string* data = file(path);
        if (!data) continue;
        const auto [from, to] =
            std::equal_range(navInto.begin(), navInto.end(), path,
                             [](const auto& a, const auto& b) { return DocOf(a) < DocOf(b); });
        std::vector<NavPoint*> into(from, to);
        reader.AddDocument(*data, path, std::move(into), nav.empty());
        forget(path);  // its text is in the book now
        if (reader.Book().Full()) break;
    }
    // What only the reading needed goes before the line counts take their memory.
    const bool complete = zip.Complete;
    zip = ArchiveFiles();
    std::vector<NavPoint>().swap(nav);
    std::vector<NavPoint*>().swap(navInto);
    package.Manifest.clear();
    BookAssembler& book = reader.Book();
    if (!book.HasText()) {
        if (locked > 0) Fail("она зашифрована, её текст не прочитать");
        Fail(complete ? "в ней нет текста" : "архив повреждён, текст не прочитан");
    }
    if (locked > 0)
        book.AddWarning("Часть книги зашифрована: не прочитано файлов " + std::to_string(locked) +
                        " из " + std::to_string(read.size()) + ".");
    if (!complete) book.AddWarning("Архив книги повреждён: открыто то, что удалось прочитать.");
    if (!reader.WrongEncoding().Declared.empty())
        book.AddWarning("Текст книги записан не в объявленной в нём кодировке " +
                        reader.WrongEncoding().Declared + ": он прочитан как " +
                        reader.WrongEncoding().Name + ".");
    return book.Finish(header, header.BookTitle, progress, firstPart);
}

}  // namespace lectorix
