#include "protocol/Xml.h"

#include "protocol/TextCodec.h"
#include "protocol/XmlBackend.h"

namespace vorta::xml {
namespace {

bool NamesOwnEncoding(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF") || text.starts_with("\xFE\xFF") ||
        text.starts_with("\xFF\xFE"))
        return true;
    if (!text.starts_with("<?xml")) return false;
    const std::string_view decl = text.substr(0, text.find("?>"));
    return decl.find("encoding") != std::string_view::npos;
}

backend::Node* SearchPath(backend::Node* first, const std::string_view* name,
                          const std::string_view* end) {
    for (backend::Node* node = first; node != nullptr; node = backend::NextSiblingElement(*node)) {
        if (backend::NameOf(*node) != *name) continue;
        if (name + 1 == end) return node;
        if (backend::Node* found = SearchPath(backend::FirstChildElement(*node), name + 1, end))
            return found;
    }
    return nullptr;
}

XmlElement AddTextElement(XmlElement parent, const char* name, std::string_view value, bool first) {
    if (!IsXmlText(value))
        throw XmlError(std::string("the value of ") + name + " holds characters XML cannot carry");
    if (!parent) throw XmlError("cannot append an XML element");
    return XmlElement(backend::AddTextElement(*parent.node(), name, value, first));
}

}  // namespace

XmlDocument Parse(std::string_view text, const char* fallbackEncoding) {
    if (text.empty() || text.size() > kMaxDocumentBytes) return {};
    const char* encoding = NamesOwnEncoding(text) ? nullptr : fallbackEncoding;
    return XmlDocument(backend::ParseDocument(text, encoding));
}

XmlDocument NewDocument() {
    return XmlDocument(backend::CreateDocument());
}

std::string ToUtf8Text(const XmlDocument& doc) {
    if (!doc) throw XmlError("cannot serialise the XML document");
    return backend::Serialise(*doc.get());
}

XmlElement Root(const XmlDocument& doc) {
    return XmlElement(doc ? backend::RootElement(*doc.get()) : nullptr);
}

XmlElement SelectFirst(const XmlDocument& doc, std::initializer_list<std::string_view> path) {
    if (path.size() == 0) return {};
    return XmlElement(SearchPath(Root(doc).node(), path.begin(), path.end()));
}

std::string_view Name(XmlElement element) {
    return element ? backend::NameOf(*element.node()) : std::string_view();
}

std::vector<XmlElement> Children(XmlElement parent) {
    std::vector<XmlElement> found;
    if (!parent) return found;
    for (backend::Node* node = backend::FirstChildElement(*parent.node()); node != nullptr;
         node = backend::NextSiblingElement(*node))
        found.emplace_back(node);
    return found;
}

std::vector<XmlElement> Children(XmlElement parent, std::string_view name) {
    std::vector<XmlElement> found;
    for (XmlElement child : Children(parent))
        if (Name(child) == name) found.push_back(child);
    return found;
}

XmlElement FirstChild(XmlElement parent, std::string_view name) {
    if (!parent) return {};
    for (backend::Node* node = backend::FirstChildElement(*parent.node()); node != nullptr;
         node = backend::NextSiblingElement(*node))
        if (backend::NameOf(*node) == name) return XmlElement(node);
    return {};
}

std::string TrimmedText(XmlElement element) {
    if (!element) return {};
    return std::string(TrimControl(backend::TextOf(*element.node())));
}

void ReadField(XmlElement element, std::string& field) {
    if (element) field = TrimmedText(element);
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

XmlElement AppendTextElement(XmlElement parent, const char* name, std::string_view value) {
    return AddTextElement(parent, name, value, false);
}

XmlElement PrependTextElement(XmlElement parent, const char* name, std::string_view value) {
    return AddTextElement(parent, name, value, true);
}

}  // namespace vorta::xml
