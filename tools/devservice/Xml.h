#pragma once

#include <libxml/tree.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace devservice::xml {

struct DocFree {
    void operator()(xmlDoc* doc) const noexcept { xmlFreeDoc(doc); }
};
using Doc = std::unique_ptr<xmlDoc, DocFree>;

class ParseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses a document from the network: no network access, no entity substitution, no DTD
// loading, and any DOCTYPE is refused before its internal subset is read. The encoding named
// by the XML declaration is honoured. Throws ParseError with a one-line reason.
Doc parseUntrusted(std::string_view bytes);

// Child elements of `parent`, optionally only those named `name`.
std::vector<const xmlNode*> childElements(const xmlNode* parent, std::string_view name = {});
const xmlNode* firstChild(const xmlNode* parent, std::string_view name);  // nullptr if none

std::string nameOf(const xmlNode* node);
// UTF-8 text content without leading/trailing bytes <= 0x20; "" for nullptr.
std::string textOf(const xmlNode* node);
// The same without trimming: a password's blanks are part of it.
std::string exactTextOf(const xmlNode* node);

// Builds a document of elements holding text only.
class Writer {
public:
    explicit Writer(std::string_view rootName);

    xmlNode* root() const { return root_; }
    xmlNode* add(xmlNode* parent, std::string_view name, std::string_view text);  // escaped
    xmlNode* addGroup(xmlNode* parent, std::string_view name);

    // Serialises with an XML declaration naming `encoding`; throws if the encoding is unknown.
    std::string dump(const char* encoding) const;

private:
    Doc doc_;
    xmlNode* root_ = nullptr;
};

}  // namespace devservice::xml
