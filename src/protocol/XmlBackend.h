#pragma once
// What Xml.cpp needs from the OS's XML library; one implementation per OS (linux/, win32/).
// Only element nodes are ever handed out.

#include <string>
#include <string_view>

#include "protocol/Xml.h"

namespace vorta::xml::backend {

// A parsed document, or null when `text` is not well-formed, carries a DOCTYPE or has no root.
// `encoding`, when given, is the one to assume; the caller has checked the size.
Document* ParseDocument(std::string_view text, const char* encoding);
Document* CreateDocument();

// The document as UTF-8 text declared as UTF-8; throws XmlError when it cannot be written.
std::string Serialise(const Document& doc);

Node* RootElement(const Document& doc);
Node* FirstChildElement(const Node& parent);
Node* NextSiblingElement(const Node& node);
std::string_view NameOf(const Node& node);
std::string TextOf(const Node& node);

// Adds `<name>text</name>` as the last (or first) child of `parent`; `text` is valid XML text.
// Throws XmlError when the library fails.
Node* AddTextElement(Node& parent, const char* name, std::string_view text, bool first);

}  // namespace vorta::xml::backend
