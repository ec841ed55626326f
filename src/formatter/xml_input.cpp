#include "formatter/xml_input.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <climits>

#include "book/cp1251.h"
#include "book/text_helpers.h"

namespace lectorix {

void XmlDocFree::operator()(_xmlDoc* doc) const {
    xmlFreeDoc(doc);
}

int XmlParseOptions() {
    // No XML_PARSE_NOENT, XML_PARSE_DTDLOAD or XML_PARSE_HUGE: entities stay unexpanded, no
    // outside file is read and libxml2's own size limits hold.
    return XML_PARSE_NONET | XML_PARSE_RECOVER | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
}

std::string XmlFallbackEncoding(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE") ||
        bytes.starts_with("\xFE\xFF"))
        return {};
    const std::string_view head = bytes.substr(0, std::min<size_t>(bytes.size(), 200));
    const size_t declEnd = head.starts_with("<?xml") ? head.find("?>") : std::string_view::npos;
    if (declEnd != std::string_view::npos &&
        head.substr(0, declEnd).find("encoding") != std::string_view::npos)
        return {};
    return IsValidUtf8(bytes) ? std::string() : std::string("windows-1251");
}

std::string XmlErrorText(const void* error) {
    const auto* e = static_cast<const xmlError*>(error);
    if (!e || !e->message) return "документ XML повреждён";
    std::string text(TrimRight(e->message));
    if (e->line > 0) text = "строка " + std::to_string(e->line) + ": " + text;
    return text;
}

std::string_view LocalName(std::string_view name) {
    const size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

namespace {

xmlEntityPtr NoEntity(void*, const xmlChar*) {
    return nullptr;
}

int Size(std::string_view bytes) {
    return static_cast<int>(std::min<size_t>(bytes.size(), INT_MAX));
}

}  // namespace

XmlDocPtr ReadXml(std::string_view bytes, std::string& error) {
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt) throw std::bad_alloc();
    // Declared entities are never stored, so a reference to one (a billion laughs) expands to
    // nothing instead of to gigabytes.
    ctxt->sax->entityDecl = nullptr;
    ctxt->sax->unparsedEntityDecl = nullptr;
    ctxt->sax->getEntity = NoEntity;
    const std::string encoding = XmlFallbackEncoding(bytes);
    XmlDocPtr doc(xmlCtxtReadMemory(ctxt, bytes.data(), Size(bytes), nullptr,
                                    encoding.empty() ? nullptr : encoding.c_str(),
                                    XmlParseOptions()));
    if (!ctxt->wellFormed) error = XmlErrorText(xmlCtxtGetLastError(ctxt));
    xmlFreeParserCtxt(ctxt);
    return doc;
}

XmlDocPtr ReadHtml(std::string_view bytes) {
    // XHTML is UTF-8 unless it declares otherwise; the HTML parser alone would guess Latin-1.
    std::string encoding = "UTF-8";
    const std::string_view head = bytes.substr(0, std::min<size_t>(bytes.size(), 200));
    const size_t end = head.starts_with("<?xml") ? head.find("?>") : head.npos;
    const size_t at = head.find("encoding");
    if (head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF")) {
        encoding.clear();  // the byte-order mark tells
    } else if (end != head.npos && at < end) {
        const size_t open = head.find_first_of("\"'", at);
        const size_t close = open == head.npos ? head.npos : head.find(head[open], open + 1);
        if (close != head.npos && close < end)
            encoding = std::string(head.substr(open + 1, close - open - 1));
    } else if (!IsValidUtf8(bytes)) {
        encoding = "windows-1251";
    }
    const int options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                        HTML_PARSE_NONET | HTML_PARSE_NOIMPLIED;
    htmlDocPtr doc = htmlReadMemory(bytes.data(), Size(bytes), nullptr,
                                    encoding.empty() ? nullptr : encoding.c_str(), options);
    if (!doc && !encoding.empty())  // an encoding libxml2 does not know
        doc = htmlReadMemory(bytes.data(), Size(bytes), nullptr, "UTF-8", options);
    return XmlDocPtr(doc);
}

}  // namespace lectorix
