#include "formatter/epub_book.h"

#include <libxml/tree.h>

#include <algorithm>
#include <map>
#include <set>
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

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return out;
}

// The element's name without a prefix, in lower case; empty for anything but an element.
std::string Name(const xmlNode* n) {
    if (!n || n->type != XML_ELEMENT_NODE || !n->name) return {};
    return Lower(LocalName(reinterpret_cast<const char*>(n->name)));
}

std::string Attr(const xmlNode* n, std::string_view name) {
    for (const xmlAttr* a = n->properties; a; a = a->next) {
        if (!a->name || Lower(LocalName(reinterpret_cast<const char*>(a->name))) != name) continue;
        std::string value;
        for (const xmlNode* c = a->children; c; c = c->next)
            if (c->content) value += reinterpret_cast<const char*>(c->content);
        return value;
    }
    return {};
}

// Visits the tree under `root` in document order without recursion (nesting is the input's to
// choose). `enter` returns false to skip an element's children; `leave` follows its children.
template <class Enter, class Leave>
void Walk(xmlNode* root, Enter enter, Leave leave) {
    for (xmlNode* n = root; n;) {
        if (enter(n) && n->children && n->type == XML_ELEMENT_NODE) {
            n = n->children;
            continue;
        }
        for (;;) {
            leave(n);
            if (n == root) return;
            if (n->next) {
                n = n->next;
                break;
            }
            n = n->parent;
            if (!n) return;
        }
    }
}

template <class Enter>
void Walk(xmlNode* root, Enter enter) {
    Walk(root, enter, [](xmlNode*) {});
}

// The text under a node as one cleaned CP1251 line.
std::string TextOf(xmlNode* node) {
    LineBuilder b;
    Walk(node, [&](xmlNode* n) {
        if (n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) {
            if (n->content && b.Size() < 4096) b.Add(reinterpret_cast<const char*>(n->content));
        }
        return true;
    });
    return b.Take();
}

std::vector<xmlNode*> Elements(xmlNode* root, std::string_view name) {
    std::vector<xmlNode*> out;
    Walk(root, [&](xmlNode* n) {
        if (Name(n) == name) out.push_back(n);
        return true;
    });
    return out;
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

struct NavPoint {
    std::string Doc, Id, Title;
    int Level = 1;
    bool Placed = false;
};

// EPUB 3: the <nav> of type "toc" (else the first that lists no landmarks or pages), its nested
// lists giving the levels.
void ReadNav(xmlNode* root, const std::string& path, std::vector<NavPoint>& out) {
    xmlNode* nav = nullptr;
    for (xmlNode* n : Elements(root, "nav")) {
        const std::string type = Attr(n, "type");
        if (!nav && type.find("landmarks") == std::string::npos &&
            type.find("page-list") == std::string::npos)
            nav = n;
        if (type.find("toc") != std::string::npos) {
            nav = n;
            break;
        }
    }
    if (!nav) return;
    // Depth of an <li> among the lists of the nav.
    auto depth = [&](xmlNode* li) {
        int d = 0;
        for (xmlNode* p = li; p && p != nav; p = p->parent)
            if (Name(p) == "li") ++d;
        return d;
    };
    for (xmlNode* li : Elements(nav, "li")) {
        xmlNode* label = nullptr;
        for (xmlNode* c = li->children; c && !label; c = c->next)
            if (Name(c) == "a" || Name(c) == "span") label = c;
        if (!label) continue;
        const std::string href = Attr(label, "href");
        if (href.empty() || href.find("://") != std::string::npos) continue;
        out.push_back({ResolvePath(path, href), Fragment(href), TextOf(label), depth(li)});
    }
}

// EPUB 2: the navMap of toc.ncx, nested navPoints giving the levels.
void ReadNcx(xmlNode* root, const std::string& path, std::vector<NavPoint>& out) {
    for (xmlNode* point : Elements(root, "navpoint")) {
        int level = 0;
        for (xmlNode* p = point; p; p = p->parent)
            if (Name(p) == "navpoint") ++level;
        std::string title, src;
        for (xmlNode* c = point->children; c; c = c->next) {
            if (Name(c) == "navlabel" && title.empty()) title = TextOf(c);
            if (Name(c) == "content" && src.empty()) src = Attr(c, "src");
        }
        if (src.empty() || src.find("://") != std::string::npos) continue;
        out.push_back({ResolvePath(path, src), Fragment(src), title, level});
    }
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

int HeadingLevel(std::string_view name) {
    return name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6' ? name[1] - '0'
                                                                                  : 0;
}

class EpubReader {
  public:
    EpubReader() : book_(kArchiveTextCap) {}

    // Adds the lines of one spine document; `nav` holds the entries into it.
    void AddDocument(xmlNode* root, std::vector<NavPoint*> nav, bool headingsAsEntries) {
        xmlNode* body = root;
        for (xmlNode* b : Elements(root, "body")) {
            body = b;
            break;
        }
        // Entries whose target this document lacks stand at its start.
        std::set<std::string> ids;
        Walk(body, [&](xmlNode* n) {
            if (n->type == XML_ELEMENT_NODE) {
                if (std::string id = Attr(n, "id"); !id.empty()) ids.insert(id);
                if (std::string id = Attr(n, "name"); !id.empty()) ids.insert(id);
            }
            return true;
        });
        std::multimap<std::string, NavPoint*> at;
        for (NavPoint* p : nav) {
            if (p->Id.empty() || !ids.count(p->Id)) {
                Place(*p);
            } else {
                at.emplace(p->Id, p);
            }
        }
        bool inPre = false;
        Walk(
            body,
            [&](xmlNode* n) {
                if (book_.Full()) return false;
                if (n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) {
                    if (n->content) AddText(reinterpret_cast<const char*>(n->content), inPre);
                    return false;
                }
                if (n->type != XML_ELEMENT_NODE) return false;
                const std::string name = Name(n);
                if (name == "script" || name == "style" || name == "head" || name == "template")
                    return false;
                if (IsBlockElement(name) || name == "br") Flush();
                if (name == "td" || name == "th") line_.Blank();
                if (name == "pre") inPre = true;
                for (const char* key : {"id", "name"}) {
                    const std::string id = Attr(n, key);
                    if (id.empty()) continue;
                    const auto [from, to] = at.equal_range(id);
                    for (auto it = from; it != to; ++it)
                        Place(*it->second);
                }
                return true;
            },
            [&](xmlNode* n) {
                const std::string name = Name(n);
                if (name == "pre") inPre = false;
                const int level = HeadingLevel(name);
                if (headingsAsEntries && level >= 1 && level <= 3) {
                    book_.AddHeading(line_.Take(), level);
                } else if (IsBlockElement(name)) {
                    Flush();
                }
            });
        Flush();
    }

    BookAssembler& Book() { return book_; }

  private:
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

    void Flush() { book_.AddLine(line_.Take()); }

    BookAssembler book_;
    LineBuilder line_;
};

struct ManifestItem {
    std::string Path, MediaType, Properties;
};

[[noreturn]] void Fail(const std::string& why) {
    throw UserError("Не удалось прочитать книгу EPUB: " + why + ".");
}

}  // namespace

bool LooksLikeEpub(std::string_view bytes) {
    if (!bytes.starts_with("PK\x03\x04")) return false;
    // The usual layout: "mimetype" first and stored, its content right after its name.
    // A zip cut short before that is still looked into (and found damaged there).
    if (bytes.size() > 30 && bytes.substr(30, 28) == "mimetypeapplication/epub+zip") return true;
    try {
        const ArchiveFiles zip = ReadArchiveFiles(
            bytes, "EPUB",
            [](const std::string& n) { return n == "mimetype" || n == "META-INF/container.xml"; },
            1 << 20);
        const auto mime = zip.Files.find("mimetype");
        return zip.Files.count("META-INF/container.xml") ||
               (mime != zip.Files.end() && Trim(mime->second) == "application/epub+zip");
    } catch (const UserError&) {
        return false;
    }
}

std::string EpubToBook(std::string_view bytes, const std::function<void(int, int)>& progress) {
    const ArchiveFiles zip = ReadArchiveFiles(bytes, "EPUB", MayHoldText);
    if (zip.Files.empty())
        Fail(zip.Complete ? "в архиве нет файлов книги" : "это не архив ZIP или он повреждён");
    auto file = [&](const std::string& path) -> const std::string* {
        const auto it = zip.Files.find(path);
        return it == zip.Files.end() ? nullptr : &it->second;
    };

    // The package document: named by the container, else the first .opf there is.
    std::string opfPath;
    std::string error;
    if (const std::string* container = file("META-INF/container.xml")) {
        if (XmlDocPtr doc = ReadXml(*container, error)) {
            for (xmlNode* n : Elements(xmlDocGetRootElement(doc.get()), "rootfile")) {
                opfPath = ResolvePath("", Attr(n, "full-path"));
                if (file(opfPath)) break;
            }
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
    if (opfPath.empty()) Fail("в архиве нет описания книги (файла .opf)");
    error.clear();
    XmlDocPtr opf = ReadXml(*file(opfPath), error);
    xmlNode* package = opf ? xmlDocGetRootElement(opf.get()) : nullptr;
    if (!package) Fail("описание книги " + opfPath + " не читается (" + error + ")");

    std::map<std::string, ManifestItem> manifest;
    for (xmlNode* item : Elements(package, "item"))
        manifest[Attr(item, "id")] = {ResolvePath(opfPath, Attr(item, "href")),
                                      Lower(Attr(item, "media-type")), Attr(item, "properties")};
    std::vector<std::string> spine;
    std::string ncxId;
    for (xmlNode* s : Elements(package, "spine")) {
        ncxId = Attr(s, "toc");
        for (xmlNode* ref : Elements(s, "itemref")) {
            const auto it = manifest.find(Attr(ref, "idref"));
            if (it != manifest.end()) spine.push_back(it->second.Path);
        }
        break;
    }

    // Dublin Core: the first of each; the identifier the package names, if it names one.
    BookHeader header;
    std::vector<std::string> subjects;
    std::string creator, fileAs, creatorId, publisher;
    const std::string uniqueId = Attr(package, "unique-identifier");
    std::map<std::string, std::string> refinedFileAs;
    for (xmlNode* metadata : Elements(package, "metadata")) {
        for (xmlNode* m : Elements(metadata, "meta"))
            if (Attr(m, "property") == "file-as") refinedFileAs[Attr(m, "refines")] = TextOf(m);
        Walk(metadata, [&](xmlNode* n) {
            const std::string name = Name(n);
            if (name.empty() || n == metadata) return true;
            const std::string text = TextOf(n);
            if (name == "title" && header.BookTitle.empty()) header.BookTitle = text;
            if (name == "creator" && creator.empty()) {
                creator = text;
                fileAs = CleanLine(Attr(n, "file-as"));
                creatorId = Attr(n, "id");
            }
            if (name == "subject" && !text.empty()) subjects.push_back(text);
            if (name == "identifier" &&
                (header.BookId.empty() || (!uniqueId.empty() && Attr(n, "id") == uniqueId)))
                header.BookId = text;
            if (name == "rights" && header.BookCopyright.empty()) header.BookCopyright = text;
            if (name == "source" && header.BookSource.empty()) header.BookSource = text;
            if (name == "publisher" && publisher.empty()) publisher = text;
            return false;
        });
        break;
    }
    if (header.BookSource.empty()) header.BookSource = publisher;
    if (subjects.size() > 0) header.BookGenre = subjects[0];
    if (subjects.size() > 1) header.BookSubgenre = subjects[1];
    header.BookAuthor = creator;
    if (fileAs.empty() && !creatorId.empty()) fileAs = refinedFileAs["#" + creatorId];
    // "Last, First" names both; else the last word of the name is the last name.
    if (const size_t comma = fileAs.find(','); comma != std::string::npos) {
        header.BookAuthorLastName = std::string(Trim(fileAs.substr(0, comma)));
        header.BookAuthorFirstName = std::string(Trim(fileAs.substr(comma + 1)));
    } else if (const size_t blank = creator.rfind(' '); blank != std::string::npos) {
        header.BookAuthorLastName = creator.substr(blank + 1);
        header.BookAuthorFirstName = creator.substr(0, creator.find(' '));
    }

    // Navigation: EPUB 3's nav document, else EPUB 2's NCX.
    std::vector<NavPoint> nav;
    for (const auto& [id, item] : manifest) {
        if (item.Properties.find("nav") == std::string::npos || !file(item.Path)) continue;
        if (XmlDocPtr doc = ReadHtml(*file(item.Path)))
            ReadNav(xmlDocGetRootElement(doc.get()), item.Path, nav);
        break;
    }
    if (nav.empty()) {
        auto it = manifest.find(ncxId);
        if (it == manifest.end())
            it = std::find_if(manifest.begin(), manifest.end(), [](const auto& m) {
                return m.second.MediaType == "application/x-dtbncx+xml";
            });
        if (it != manifest.end() && file(it->second.Path)) {
            std::string ncxError;
            if (XmlDocPtr doc = ReadXml(*file(it->second.Path), ncxError))
                ReadNcx(xmlDocGetRootElement(doc.get()), it->second.Path, nav);
        }
    }
    // Entries into documents the spine lacks could never be reached.
    const std::set<std::string> inSpine(spine.begin(), spine.end());
    std::erase_if(nav, [&](const NavPoint& p) { return !inSpine.count(p.Doc) || p.Title.empty(); });

    EpubReader reader;
    std::set<std::string> done;
    for (const std::string& path : spine) {
        if (!done.insert(path).second) continue;  // a document listed twice is read once
        const std::string* data = file(path);
        if (!data) continue;
        XmlDocPtr doc = ReadHtml(*data);
        xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
        if (!root) continue;
        std::vector<NavPoint*> into;
        for (NavPoint& p : nav)
            if (p.Doc == path) into.push_back(&p);
        reader.AddDocument(root, std::move(into), nav.empty());
        if (reader.Book().Full()) break;
    }
    if (!reader.Book().HasText())
        Fail(zip.Complete ? "в ней нет текста" : "архив повреждён, текст не прочитан");
    return reader.Book().Finish(header, header.BookTitle, progress);
}

}  // namespace lectorix
