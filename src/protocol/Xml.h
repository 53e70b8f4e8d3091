#pragma once
// Thin RAII layer over libxml2: safe parsing (no network, no DTD, no entity expansion),
// element lookup by path in document order, text reading and writing.

#include <libxml/tree.h>

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vorta::xml {

// Raised when a document cannot be built, e.g. a value that XML cannot carry.
class XmlError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct DocDeleter {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocDeleter>;

// Documents larger than this are refused unread.
inline constexpr std::size_t kMaxDocumentBytes = 8u << 20;

// Parses `text` as a complete XML document honouring its declared encoding; `fallbackEncoding`
// is used only when the document declares none. Returns null for anything not well-formed,
// for documents carrying a DOCTYPE (the protocol never uses one, and refusing it rules out
// entity expansion attacks) and for oversized input.
DocPtr Parse(std::string_view text, const char* fallbackEncoding = nullptr);

// A new empty document.
DocPtr NewDocument();

// The whole document as UTF-8 text, declared as UTF-8.
std::string ToUtf8Text(xmlDoc* doc);

// First element reached by the element names of `path`, the first of which names the root;
// the search runs in document order across every branch that matches.
xmlNode* SelectFirst(xmlDoc* doc, std::initializer_list<std::string_view> path);

// Direct element children of `parent` with the given name, in document order.
std::vector<xmlNode*> Children(xmlNode* parent, std::string_view name);
xmlNode* FirstChild(xmlNode* parent, std::string_view name);

// The node's text content with leading and trailing characters of code 32 or below removed.
std::string TrimmedText(xmlNode* node);

// Sets `field` from `node` when there is one; a missing node leaves the field as it was.
void ReadField(xmlNode* node, std::string& field);

// Creates `<name>value</name>` (value written as text, so markup characters are escaped) and
// appends it to `parent`. Throws XmlError for text that is not UTF-8 or holds characters XML
// cannot carry.
xmlNode* AppendTextElement(xmlDoc* doc, xmlNode* parent, const char* name, std::string_view value);

// True when every character of UTF-8 `text` may appear in an XML 1.0 document.
bool IsXmlText(std::string_view text);

}  // namespace vorta::xml
