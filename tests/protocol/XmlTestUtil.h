#pragma once
// Reads a built request back for assertions.

#include <string>
#include <vector>

#include "protocol/Xml.h"

namespace vorta::test {

// Names of the root's element children, in document order.
inline std::vector<std::string> ChildNames(xml::XmlElement parent) {
    std::vector<std::string> names;
    for (xml::XmlElement child : xml::Children(parent)) names.emplace_back(xml::Name(child));
    return names;
}

inline std::string TextOf(const xml::XmlDocument& doc,
                          std::initializer_list<std::string_view> path) {
    xml::XmlElement node = xml::SelectFirst(doc, path);
    return node ? xml::TrimmedText(node) : std::string("<missing>");
}

}  // namespace vorta::test
