// libxml2 set up the way book files are read: no network, no DTD, no entity a document declares
// itself, nothing printed on stderr, and no tree: a document is read as a stream of events, so
// what it costs follows its text, not its markup.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace lectorix {

// What a document may hold. Beyond these libxml2 works as the square of the input (it checks
// each attribute of an element against the others and each prefixed name against every
// namespace in scope), so a document past them is refused before it is parsed.
inline constexpr int kMaxAttributes = 256;  // attributes of one element
inline constexpr int kMaxNamespaces = 256;  // namespace declarations in one document
inline constexpr int kMaxDepth = 256;       // elements open at once; the reading stops there
// An attribute value longer than this is emptied before an EPUB's document is parsed: such
// values are pictures inlined as data, never text.
inline constexpr std::size_t kMaxAttributeValue = 64 << 10;

struct XmlAttribute {
    std::string_view Name;  // without its prefix ("epub:type" -> "type")
    std::string_view Value;
};

// The events of a document: elements by name without prefix (the HTML parser gives them in
// lower case), text in UTF-8. A handler may stop the reading.
class XmlEvents {
  public:
    virtual ~XmlEvents() = default;
    virtual void Start(std::string_view name, std::span<const XmlAttribute> attributes) = 0;
    virtual void End(std::string_view name) = 0;
    virtual void Text(std::string_view utf8) = 0;
    void Stop() { stopped_ = true; }
    bool Stopped() const { return stopped_; }

  private:
    bool stopped_ = false;
};

// How a reading ended.
struct XmlOutcome {
    std::string FirstError;  // the parser's first and last complaints, "строка N: ..."
    std::string LastError;
    bool Finished = false;  // the first element was closed: the document was read to its end
    bool TooDeep = false;   // stopped at kMaxDepth open elements
};

// Reads XML (FB2, the package and navigation files of an EPUB) as events; `encoding` overrides
// the document's own declaration when not empty. Declared entities are never expanded; the
// HTML ones careless converters write ("&nbsp;") give their characters.
XmlOutcome StreamXml(std::string_view bytes, XmlEvents& events, const std::string& encoding);

// Reads (X)HTML with the forgiving HTML parser as events, in `encoding` (empty: by the
// byte-order mark). UTF-8 should have gone through ReplaceInvalidUtf8: at a byte that is no
// UTF-8 the parser would read the rest as Latin-1.
XmlOutcome StreamHtml(std::string_view bytes, XmlEvents& events, const std::string& encoding);

// Every byte that is no part of a UTF-8 sequence becomes '?', in place.
void ReplaceInvalidUtf8(std::string& bytes);

// The encoding to read a document in.
struct XmlEncoding {
    std::string Name;      // empty: the parser's own choice (byte-order mark, declaration)
    std::string Declared;  // the declared encoding, when it was wrong and Name replaced it
};

// For XML: with a byte-order mark, the parser's choice; a declared encoding is kept unless it
// is UTF-8 and most of the bytes are not, when windows-1251 replaces it; undeclared, UTF-8 when
// most of the non-ASCII bytes read as UTF-8, else windows-1251.
XmlEncoding ChooseXmlEncoding(std::string_view bytes);
// For XHTML, whose HTML parser would guess Latin-1: the same, UTF-8 named when undeclared.
XmlEncoding ChooseHtmlEncoding(std::string_view bytes);

// Why the document in `bytes` cannot be read (too many attributes on one element, too many
// namespace declarations), or empty when it can.
std::string MarkupProblem(std::string_view bytes);

// The same check for an EPUB's document, which is also made fit for the parser in place:
// attribute values over kMaxAttributeValue are emptied and, for `html`, DOCTYPE declarations
// (whose internal subset the HTML parser would show as text) are removed.
std::string PrepareMarkup(std::string& bytes, bool html);

// The name of the document's first element as written ("FictionBook", "fb:FictionBook"), past
// any declaration, comment, processing instruction and DOCTYPE; empty when none is found.
// In UTF-16 too.
std::string FirstElementName(std::string_view bytes);

// A name without its prefix ("epub:type" -> "type").
std::string_view LocalName(std::string_view name);

}  // namespace lectorix
