// The XML backend on libxml2: a backend Document is an xmlDoc, a Node an element xmlNode.

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>
#include <mutex>

#include "protocol/XmlBackend.h"

namespace vorta::xml::backend {
namespace {

xmlDoc* Lib(const Document& doc) {
    return reinterpret_cast<xmlDoc*>(const_cast<Document*>(&doc));
}
xmlNode* Lib(const Node& node) {
    return reinterpret_cast<xmlNode*>(const_cast<Node*>(&node));
}
Node* Wrap(xmlNode* node) {
    return reinterpret_cast<Node*>(node);
}

struct ParserCtxtDeleter {
    void operator()(xmlParserCtxt* ctxt) const { xmlFreeParserCtxt(ctxt); }
};
struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
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

xmlNode* ElementFrom(xmlNode* node) {
    while (node != nullptr && node->type != XML_ELEMENT_NODE) node = node->next;
    return node;
}

}  // namespace

void DocumentDeleter::operator()(Document* doc) const {
    xmlFreeDoc(Lib(*doc));
}

Document* ParseDocument(std::string_view text, const char* encoding) {
    EnsureInitialised();
    SilenceThisThread();
    std::unique_ptr<xmlParserCtxt, ParserCtxtDeleter> ctxt(xmlNewParserCtxt());
    if (!ctxt || ctxt->sax == nullptr) return nullptr;
    ctxt->sax->internalSubset = RefuseDoctype;
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    std::unique_ptr<xmlDoc, DocFree> doc(xmlCtxtReadMemory(
        ctxt.get(), text.data(), static_cast<int>(text.size()), nullptr, encoding, options));
    if (!doc || !ctxt->wellFormed || doc->intSubset != nullptr ||
        xmlDocGetRootElement(doc.get()) == nullptr)
        return nullptr;
    return reinterpret_cast<Document*>(doc.release());
}

Document* CreateDocument() {
    EnsureInitialised();
    return reinterpret_cast<Document*>(xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0")));
}

std::string Serialise(const Document& doc) {
    xmlChar* mem = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(Lib(doc), &mem, &size, "UTF-8", 0);
    XmlString owned(mem);
    if (!owned || size <= 0) throw XmlError("cannot serialise the XML document");
    return std::string(reinterpret_cast<const char*>(owned.get()), static_cast<std::size_t>(size));
}

Node* RootElement(const Document& doc) {
    return Wrap(xmlDocGetRootElement(Lib(doc)));
}

Node* FirstChildElement(const Node& parent) {
    return Wrap(ElementFrom(Lib(parent)->children));
}

Node* NextSiblingElement(const Node& node) {
    return Wrap(ElementFrom(Lib(node)->next));
}

std::string_view NameOf(const Node& node) {
    const xmlChar* name = Lib(node)->name;
    return name ? reinterpret_cast<const char*>(name) : std::string_view();
}

std::string TextOf(const Node& node) {
    XmlString content(xmlNodeGetContent(Lib(node)));
    return content ? std::string(reinterpret_cast<const char*>(content.get())) : std::string();
}

Node* AddTextElement(Node& parent, const char* name, std::string_view text, bool first) {
    xmlNode* to = Lib(parent);
    xmlNode* element =
        xmlNewDocNode(to->doc, nullptr, reinterpret_cast<const xmlChar*>(name), nullptr);
    if (element == nullptr) throw XmlError("cannot create an XML element");
    xmlNode* added = first && to->children != nullptr ? xmlAddPrevSibling(to->children, element)
                                                      : xmlAddChild(to, element);
    if (added == nullptr) {
        xmlFreeNode(element);
        throw XmlError("cannot append an XML element");
    }
    if (!text.empty()) {
        xmlNode* content = xmlNewDocTextLen(to->doc, reinterpret_cast<const xmlChar*>(text.data()),
                                            static_cast<int>(text.size()));
        if (content == nullptr || xmlAddChild(element, content) == nullptr) {
            xmlFreeNode(content);
            throw XmlError("cannot set the text of an XML element");
        }
    }
    return Wrap(element);
}

}  // namespace vorta::xml::backend
