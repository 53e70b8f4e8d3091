#pragma once
// Reads a built request back for assertions.

#include <string>
#include <vector>

#include "protocol/Xml.h"

namespace vorta::test {

// Names of the root's element children, in document order.
inline std::vector<std::string> ChildNames(xmlNode* parent) {
    std::vector<std::string> names;
    for (xmlNode* n = parent ? parent->children : nullptr; n != nullptr; n = n->next)
        if (n->type == XML_ELEMENT_NODE) names.emplace_back(reinterpret_cast<const char*>(n->name));
    return names;
}

inline std::string TextOf(xmlDoc* doc, std::initializer_list<std::string_view> path) {
    xmlNode* node = xml::SelectFirst(doc, path);
    return node ? xml::TrimmedText(node) : std::string("<missing>");
}

}  // namespace vorta::test
