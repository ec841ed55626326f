// libxml2 set up the way book files are read: no network, no DTD, no entity a document declares
// itself, errors collected instead of printed.
#pragma once

#include <memory>
#include <string>
#include <string_view>

struct _xmlDoc;

namespace lectorix {

struct XmlDocFree {
    void operator()(_xmlDoc* doc) const;
};
using XmlDocPtr = std::unique_ptr<_xmlDoc, XmlDocFree>;

// The encoding to tell the parser, or empty to let it read the declaration: a document without
// a byte-order mark or a declared encoding that is not UTF-8 is taken as windows-1251.
std::string XmlFallbackEncoding(std::string_view bytes);

// The tree of an XML document, as much of it as could be read; null when nothing could.
// `error` gets the parser's first complaint.
XmlDocPtr ReadXml(std::string_view bytes, std::string& error);

// The tree of an (X)HTML document read with the forgiving HTML parser.
XmlDocPtr ReadHtml(std::string_view bytes);

// The options every parse here uses: recover from errors, stay quiet, never reach the network.
int XmlParseOptions();

// A name without its prefix ("epub:type" -> "type").
std::string_view LocalName(std::string_view name);

// The parser's message without its line break, with the line it names.
std::string XmlErrorText(const void* xmlError);

}  // namespace lectorix
