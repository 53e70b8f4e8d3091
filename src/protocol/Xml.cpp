#include "protocol/Xml.h"

#include <libxml/parser.h>

#include <mutex>

#include "protocol/TextCodec.h"

namespace vorta::xml {
namespace {

struct ParserCtxtDeleter {
    void operator()(xmlParserCtxt* ctxt) const { xmlFreeParserCtxt(ctxt); }
};

struct XmlCharDeleter {
    void operator()(xmlChar* p) const { xmlFree(p); }
};
using XmlString = std::unique_ptr<xmlChar, XmlCharDeleter>;

void EnsureInitialised() {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

// libxml2 reports some errors (e.g. bytes invalid in the declared encoding) through its
// per-thread generic handler, which prints to stderr: a peer's bad answer must not write into
// the client's log. The outcome reaches callers as a refused document instead.
void IgnoreGenericError(void*, const char*, ...) {}

void SilenceThisThread() {
    xmlSetGenericErrorFunc(nullptr, IgnoreGenericError);
    xmlSetStructuredErrorFunc(nullptr, [](void*, auto) {});
}

// A DOCTYPE stops the parser before any declaration in it is read.
void RefuseDoctype(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
    xmlStopParser(static_cast<xmlParserCtxt*>(ctx));
}

bool NameIs(const xmlNode* node, std::string_view name) {
    return node->type == XML_ELEMENT_NODE && node->name != nullptr &&
           name == reinterpret_cast<const char*>(node->name);
}

xmlNode* SearchPath(xmlNode* first, const std::string_view* name, const std::string_view* end) {
    for (xmlNode* node = first; node != nullptr; node = node->next) {
        if (!NameIs(node, *name)) continue;
        if (name + 1 == end) return node;
        if (xmlNode* found = SearchPath(node->children, name + 1, end)) return found;
    }
    return nullptr;
}

}  // namespace

static bool NamesOwnEncoding(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF") || text.starts_with("\xFE\xFF") ||
        text.starts_with("\xFF\xFE"))
        return true;
    if (!text.starts_with("<?xml")) return false;
    const std::string_view decl = text.substr(0, text.find("?>"));
    return decl.find("encoding") != std::string_view::npos;
}

DocPtr Parse(std::string_view text, const char* fallbackEncoding) {
    if (text.empty() || text.size() > kMaxDocumentBytes) return nullptr;
    EnsureInitialised();
    SilenceThisThread();
    std::unique_ptr<xmlParserCtxt, ParserCtxtDeleter> ctxt(xmlNewParserCtxt());
    if (!ctxt || ctxt->sax == nullptr) return nullptr;
    ctxt->sax->internalSubset = RefuseDoctype;
    const char* encoding = NamesOwnEncoding(text) ? nullptr : fallbackEncoding;
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    DocPtr doc(xmlCtxtReadMemory(ctxt.get(), text.data(), static_cast<int>(text.size()), nullptr,
                                 encoding, options));
    if (!doc || !ctxt->wellFormed || doc->intSubset != nullptr ||
        xmlDocGetRootElement(doc.get()) == nullptr)
        return nullptr;
    return doc;
}

DocPtr NewDocument() {
    EnsureInitialised();
    return DocPtr(xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0")));
}

std::string ToUtf8Text(xmlDoc* doc) {
    xmlChar* mem = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc, &mem, &size, "UTF-8", 0);
    XmlString owned(mem);
    if (!owned || size <= 0) throw XmlError("cannot serialise the XML document");
    return std::string(reinterpret_cast<const char*>(owned.get()), static_cast<std::size_t>(size));
}

xmlNode* SelectFirst(xmlDoc* doc, std::initializer_list<std::string_view> path) {
    if (doc == nullptr || path.size() == 0) return nullptr;
    return SearchPath(doc->children, path.begin(), path.end());
}

std::vector<xmlNode*> Children(xmlNode* parent, std::string_view name) {
    std::vector<xmlNode*> found;
    if (parent == nullptr) return found;
    for (xmlNode* node = parent->children; node != nullptr; node = node->next)
        if (NameIs(node, name)) found.push_back(node);
    return found;
}

xmlNode* FirstChild(xmlNode* parent, std::string_view name) {
    if (parent == nullptr) return nullptr;
    for (xmlNode* node = parent->children; node != nullptr; node = node->next)
        if (NameIs(node, name)) return node;
    return nullptr;
}

std::string TrimmedText(xmlNode* node) {
    XmlString content(xmlNodeGetContent(node));
    if (!content) return {};
    return std::string(TrimControl(reinterpret_cast<const char*>(content.get())));
}

void ReadField(xmlNode* node, std::string& field) {
    if (node != nullptr) field = TrimmedText(node);
}

bool IsXmlText(std::string_view text) {
    if (!IsValidUtf8(text)) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
        // U+FFFE and U+FFFF are EF BF BE / EF BF BF.
        if (c == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
            (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE)
            return false;
    }
    return true;
}

xmlNode* AppendTextElement(xmlDoc* doc, xmlNode* parent, const char* name, std::string_view value) {
    if (!IsXmlText(value))
        throw XmlError(std::string("the value of ") + name + " holds characters XML cannot carry");
    xmlNode* element = xmlNewDocNode(doc, nullptr, reinterpret_cast<const xmlChar*>(name), nullptr);
    if (element == nullptr) throw XmlError("cannot create an XML element");
    if (xmlAddChild(parent, element) == nullptr) {
        xmlFreeNode(element);
        throw XmlError("cannot append an XML element");
    }
    if (!value.empty()) {
        xmlNode* text = xmlNewDocTextLen(doc, reinterpret_cast<const xmlChar*>(value.data()),
                                         static_cast<int>(value.size()));
        if (text == nullptr || xmlAddChild(element, text) == nullptr) {
            xmlFreeNode(text);
            throw XmlError("cannot set the text of an XML element");
        }
    }
    return element;
}

}  // namespace vorta::xml
