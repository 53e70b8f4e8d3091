#include "Xml.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <climits>

namespace devservice::xml {
namespace {

struct CtxtFree {
    void operator()(xmlParserCtxt* ctxt) const noexcept { xmlFreeParserCtxt(ctxt); }
};
struct XmlFree {
    void operator()(void* p) const noexcept { xmlFree(p); }
};

const xmlChar* bytes(const std::string& s) {
    return reinterpret_cast<const xmlChar*>(s.c_str());
}

// Stopping at the DOCTYPE keeps entity declarations of the internal subset from ever being read.
void refuseDoctype(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
    xmlStopParser(static_cast<xmlParserCtxt*>(ctx));
}

std::string lastError(xmlParserCtxt* ctxt) {
    const xmlError* error = xmlCtxtGetLastError(ctxt);
    if (error == nullptr || error->message == nullptr) return "not a well-formed XML document";
    // libxml2 messages may span lines (e.g. the offending bytes); the reason must be one line.
    std::string message;
    bool gap = false;
    for (const char* p = error->message; *p != '\0'; ++p) {
        if (*p == '\n' || *p == '\r') {
            gap = true;
            continue;
        }
        if (gap && !message.empty()) message += "; ";
        gap = false;
        message += *p;
    }
    return "line " + std::to_string(error->line) + ": " + message;
}

}  // namespace

Doc parseUntrusted(std::string_view data) {
    if (data.size() > INT_MAX) throw ParseError("document too large");
    std::unique_ptr<xmlParserCtxt, CtxtFree> ctxt(xmlNewParserCtxt());
    if (!ctxt || ctxt->sax == nullptr) throw ParseError("out of memory");
    ctxt->sax->internalSubset = &refuseDoctype;

    constexpr int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    Doc doc(xmlCtxtReadMemory(ctxt.get(), data.data(), static_cast<int>(data.size()), nullptr,
                              nullptr, options));
    if (ctxt->errNo == XML_ERR_USER_STOP ||
        (doc && (doc->intSubset != nullptr || doc->extSubset != nullptr))) {
        throw ParseError("DOCTYPE is not allowed");
    }
    if (!doc || !ctxt->wellFormed) throw ParseError(lastError(ctxt.get()));
    return doc;
}

std::vector<const xmlNode*> childElements(const xmlNode* parent, std::string_view name) {
    std::vector<const xmlNode*> out;
    if (parent == nullptr) return out;
    for (const xmlNode* n = parent->children; n != nullptr; n = n->next) {
        if (n->type == XML_ELEMENT_NODE && (name.empty() || nameOf(n) == name)) out.push_back(n);
    }
    return out;
}

const xmlNode* firstChild(const xmlNode* parent, std::string_view name) {
    if (parent == nullptr) return nullptr;
    for (const xmlNode* n = parent->children; n != nullptr; n = n->next) {
        if (n->type == XML_ELEMENT_NODE && nameOf(n) == name) return n;
    }
    return nullptr;
}

std::string nameOf(const xmlNode* node) {
    return node != nullptr && node->name != nullptr ? reinterpret_cast<const char*>(node->name)
                                                    : std::string();
}

std::string exactTextOf(const xmlNode* node) {
    if (node == nullptr) return {};
    std::unique_ptr<xmlChar, XmlFree> content(xmlNodeGetContent(node));
    if (!content) return {};
    return reinterpret_cast<const char*>(content.get());
}

std::string textOf(const xmlNode* node) {
    const std::string exact = exactTextOf(node);
    std::string_view text(exact);
    const auto low = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!text.empty() && low(text.front())) text.remove_prefix(1);
    while (!text.empty() && low(text.back())) text.remove_suffix(1);
    return std::string(text);
}

Writer::Writer(std::string_view rootName) : doc_(xmlNewDoc(BAD_CAST "1.0")) {
    if (!doc_) throw std::bad_alloc();
    root_ = xmlNewDocNode(doc_.get(), nullptr, bytes(std::string(rootName)), nullptr);
    if (root_ == nullptr) throw std::bad_alloc();
    xmlDocSetRootElement(doc_.get(), root_);
}

xmlNode* Writer::add(xmlNode* parent, std::string_view name, std::string_view text) {
    xmlNode* node =
        xmlNewTextChild(parent, nullptr, bytes(std::string(name)), bytes(std::string(text)));
    if (node == nullptr) throw std::bad_alloc();
    return node;
}

xmlNode* Writer::addGroup(xmlNode* parent, std::string_view name) {
    xmlNode* node = xmlNewChild(parent, nullptr, bytes(std::string(name)), nullptr);
    if (node == nullptr) throw std::bad_alloc();
    return node;
}

std::string Writer::dump(const char* encoding) const {
    xmlChar* raw = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc_.get(), &raw, &size, encoding, 1);
    std::unique_ptr<xmlChar, XmlFree> owned(raw);
    if (!owned || size <= 0) {
        throw std::runtime_error(std::string("cannot serialise XML as ") + encoding);
    }
    return std::string(reinterpret_cast<const char*>(owned.get()), static_cast<std::size_t>(size));
}

}  // namespace devservice::xml
