#pragma once
// XML for the protocol: safe parsing (no network, no DTD, no entity expansion), element lookup by
// path in document order, text reading and writing. The types here are the OS's XML service
// seen through XmlBackend.h; no library header shows through.

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

namespace backend {
struct Document;  // defined by the backend
struct Node;
struct DocumentDeleter {
    void operator()(Document* doc) const;
};
}  // namespace backend

// A non-owning handle to an element; a null handle stands for a missing element. It stays valid
// as long as the document holding the element.
class XmlElement {
public:
    XmlElement() = default;
    explicit XmlElement(backend::Node* node) : node_(node) {}
    explicit operator bool() const { return node_ != nullptr; }
    backend::Node* node() const { return node_; }

private:
    backend::Node* node_ = nullptr;
};

// An owning document; a null document stands for one that could not be read.
class XmlDocument {
public:
    XmlDocument() = default;
    explicit XmlDocument(backend::Document* doc) : doc_(doc) {}
    explicit operator bool() const { return doc_ != nullptr; }
    backend::Document* get() const { return doc_.get(); }

private:
    std::unique_ptr<backend::Document, backend::DocumentDeleter> doc_;
};

// Documents larger than this are refused unread.
inline constexpr std::size_t kMaxDocumentBytes = 8u << 20;

// Parses `text` as a complete XML document honouring its declared encoding; `fallbackEncoding`
// is used only when the document declares none. Returns null for anything not well-formed,
// for documents carrying a DOCTYPE (the protocol never uses one, and refusing it rules out
// entity expansion attacks) and for oversized input.
XmlDocument Parse(std::string_view text, const char* fallbackEncoding = nullptr);

// A new empty document.
XmlDocument NewDocument();

// The whole document as UTF-8 text, declared as UTF-8.
std::string ToUtf8Text(const XmlDocument& doc);

// The root element; null for a document without one.
XmlElement Root(const XmlDocument& doc);

// First element reached by the element names of `path`, the first of which names the root;
// the search runs in document order across every branch that matches.
XmlElement SelectFirst(const XmlDocument& doc, std::initializer_list<std::string_view> path);

// The element's name; empty for a null element.
std::string_view Name(XmlElement element);

// Direct element children of `parent` (all, or those with the given name), in document order.
std::vector<XmlElement> Children(XmlElement parent);
std::vector<XmlElement> Children(XmlElement parent, std::string_view name);
XmlElement FirstChild(XmlElement parent, std::string_view name);

// The element's text content with leading and trailing characters of code 32 or below removed.
std::string TrimmedText(XmlElement element);

// Sets `field` from `element` when there is one; a missing element leaves the field as it was.
void ReadField(XmlElement element, std::string& field);

// Creates `<name>value</name>` (value written as text, so markup characters are escaped) and
// appends it to `parent`, or puts it before the first child with the Prepend form. Throws
// XmlError for text that is not UTF-8 or holds characters XML cannot carry.
XmlElement AppendTextElement(XmlElement parent, const char* name, std::string_view value);
XmlElement PrependTextElement(XmlElement parent, const char* name, std::string_view value);

// True when every character of UTF-8 `text` may appear in an XML 1.0 document.
bool IsXmlText(std::string_view text);

}  // namespace vorta::xml
