// The XML backend on XmlLite. XmlLite only reads and writes streams, so a backend Document is a
// small element tree of this file's own, filled by IXmlReader. The reader gets UTF-16 text
// decoded by the code page codec, so that GBK and the other code pages read as on Linux whatever
// encodings this system's XmlLite knows. Writing is done here, so both OSes write the same bytes.

#include <objbase.h>
#include <shlwapi.h>
#include <windows.h>
#include <xmllite.h>

#include <cctype>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

#include "protocol/CharsetConverter.h"
#include "protocol/TextCodec.h"
#include "protocol/XmlBackend.h"
#include "protocol/win32/Utf16.h"

namespace vorta::xml::backend {

struct Document;

struct Node {
    Document* doc = nullptr;
    bool text = false;
    std::string value;  // the name of an element, the characters of a text
    Node* parent = nullptr;
    Node* first = nullptr;
    Node* last = nullptr;
    Node* prev = nullptr;
    Node* next = nullptr;
};

struct Document {
    std::deque<Node> nodes;  // stable addresses; nodes are never removed
    Node* root = nullptr;

    Node* Add(Node* parent, bool text, std::string value, bool first = false) {
        Node& n = nodes.emplace_back();
        n.doc = this;
        n.text = text;
        n.value = std::move(value);
        n.parent = parent;
        if (parent == nullptr) return &n;
        if (first && parent->first != nullptr) {
            n.next = parent->first;
            parent->first->prev = &n;
            parent->first = &n;
        } else {
            n.prev = parent->last;
            (parent->last ? parent->last->next : parent->first) = &n;
            parent->last = &n;
        }
        return &n;
    }
};

namespace {

template <typename T>
struct Releaser {
    void operator()(T* p) const { p->Release(); }
};
template <typename T>
using Com = std::unique_ptr<T, Releaser<T>>;

bool EqualsUtf8(const std::string& charset) {
    std::string lower;
    for (char c : charset) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower == "utf-8" || lower == "utf8";
}

// The encoding a byte order mark or the XML declaration names; empty when neither does.
std::string DeclaredEncoding(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) return "UTF-8";
    if (text.starts_with("\xFE\xFF") || text.starts_with("\xFF\xFE")) return "UTF-16";
    if (!text.starts_with("<?xml")) return {};
    const std::string_view decl = text.substr(0, text.find("?>"));
    std::size_t at = decl.find("encoding");
    if (at == std::string_view::npos) return {};
    at = decl.find_first_of("\"'", at);
    if (at == std::string_view::npos) return {};
    const std::size_t end = decl.find(decl[at], at + 1);
    if (end == std::string_view::npos) return {};
    return std::string(decl.substr(at + 1, end - at - 1));
}

// The document as UTF-16 without its declaration, whose encoding no longer applies; empty when
// its bytes are not text of that encoding.
std::wstring DocumentText(std::string_view text, const char* encoding) {
    std::string charset = encoding ? encoding : DeclaredEncoding(text);
    std::string utf8;
    if (charset.empty() || EqualsUtf8(charset)) {
        if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
        if (!IsValidUtf8(text)) return {};
        utf8 = text;
    } else {
        codec::Decoder decoder(charset);
        if (!decoder.Known()) return {};
        decoder.Decode(text, utf8);
        // The codec marks bytes that are no character of the charset; such a document is refused
        // (one that holds U+FFFD itself too, a price paid for keeping the codec's interface).
        if (utf8.find("\xEF\xBF\xBD") != std::string::npos) return {};
    }
    if (utf8.starts_with("\xEF\xBB\xBF")) utf8.erase(0, 3);
    if (utf8.starts_with("<?xml")) {
        const std::size_t end = utf8.find("?>");
        if (end == std::string::npos) return {};
        utf8.erase(0, end + 2);
    }
    // Wine's reader refuses the blanks a declaration leaves in front of the root.
    utf8.erase(0, utf8.find_first_not_of(" \t\r\n"));
    return win32::ToWide(utf8);
}

// This mingw-w64 ships xmllite.h without an import library: the two entry points are looked up.
template <typename Function>
Function XmlLite(const char* name) {
    static const HMODULE module = LoadLibraryW(L"xmllite.dll");
    return module
               ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
               : nullptr;
}

// Where the reader is, as (line, column).
std::pair<UINT, UINT> PositionOf(IXmlReader& reader) {
    UINT line = 0;
    UINT column = 0;
    reader.GetLineNumber(&line);
    reader.GetLinePosition(&column);
    return {line, column};
}

}  // namespace

void DocumentDeleter::operator()(Document* doc) const {
    delete doc;
}

Document* ParseDocument(std::string_view text, const char* encoding) {
    const std::wstring wide = DocumentText(text, encoding);
    if (wide.empty()) return nullptr;
    Com<IStream> stream(SHCreateMemStream(reinterpret_cast<const BYTE*>(wide.data()),
                                          static_cast<UINT>(wide.size() * sizeof(wchar_t))));
    using CreateReader = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);
    using CreateInput =
        HRESULT(WINAPI*)(IUnknown*, IMalloc*, LPCWSTR, BOOL, LPCWSTR, IXmlReaderInput**);
    static const auto createReader = XmlLite<CreateReader>("CreateXmlReader");
    static const auto createInput = XmlLite<CreateInput>("CreateXmlReaderInputWithEncodingName");
    if (!createReader || !createInput) return nullptr;
    IXmlReader* rawReader = nullptr;
    if (!stream ||
        FAILED(createReader(__uuidof(IXmlReader), reinterpret_cast<void**>(&rawReader), nullptr)))
        return nullptr;
    Com<IXmlReader> reader(rawReader);
    IXmlReaderInput* rawInput = nullptr;
    if (FAILED(createInput(stream.get(), nullptr, L"UTF-16", FALSE, nullptr, &rawInput)))
        return nullptr;
    Com<IUnknown> input(rawInput);
    // A DOCTYPE ends the reading: no entity of the peer's is ever expanded.
    reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
    if (FAILED(reader->SetInput(input.get()))) return nullptr;

    // Wine's reader ends the elements still open at the end of the text with end-element nodes
    // of its own, placed where the element starts; a real end tag always comes later.
    std::vector<std::pair<UINT, UINT>> starts;
    auto doc = std::make_unique<Document>();
    Node* open = nullptr;
    XmlNodeType type;
    HRESULT hr;
    while ((hr = reader->Read(&type)) == S_OK) {
        const wchar_t* value = nullptr;
        UINT length = 0;
        switch (type) {
            case XmlNodeType_Element: {
                if (open == nullptr && doc->root != nullptr) return nullptr;  // a second root
                reader->GetLocalName(&value, &length);
                Node* element =
                    doc->Add(open, false, win32::ToUtf8(std::wstring_view(value, length)));
                if (open == nullptr) doc->root = element;
                if (!reader->IsEmptyElement()) {
                    open = element;
                    starts.push_back(PositionOf(*reader));
                }
                break;
            }
            case XmlNodeType_EndElement:
                if (open == nullptr || PositionOf(*reader) == starts.back()) return nullptr;
                open = open->parent;
                starts.pop_back();
                break;
            case XmlNodeType_Text:
            case XmlNodeType_CDATA:
            case XmlNodeType_Whitespace:
                if (open == nullptr) break;
                reader->GetValue(&value, &length);
                doc->Add(open, true, win32::ToUtf8(std::wstring_view(value, length)));
                break;
            default:
                break;
        }
    }
    if (FAILED(hr) || doc->root == nullptr || open != nullptr) return nullptr;
    return doc.release();
}

Document* CreateDocument() {
    return new Document;
}

namespace {

void Write(const Node& node, std::string& out) {
    if (node.text) {
        for (char c : node.value) {
            switch (c) {
                case '&':
                    out += "&amp;";
                    break;
                case '<':
                    out += "&lt;";
                    break;
                case '>':
                    out += "&gt;";
                    break;
                case '\r':
                    out += "&#13;";
                    break;
                default:
                    out += c;
            }
        }
        return;
    }
    out += '<' + node.value;
    if (node.first == nullptr) {
        out += "/>";
        return;
    }
    out += '>';
    for (const Node* child = node.first; child != nullptr; child = child->next) Write(*child, out);
    out += "</" + node.value + '>';
}

Node* ElementFrom(Node* node) {
    while (node != nullptr && node->text) node = node->next;
    return node;
}

void AppendText(const Node& node, std::string& out) {
    if (node.text) out += node.value;
    for (const Node* child = node.first; child != nullptr; child = child->next)
        AppendText(*child, out);
}

}  // namespace

std::string Serialise(const Document& doc) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    if (doc.root != nullptr) Write(*doc.root, out);
    return out + '\n';
}

Node* RootElement(const Document& doc) {
    return doc.root;
}

Node* FirstChildElement(const Node& parent) {
    return ElementFrom(parent.first);
}

Node* NextSiblingElement(const Node& node) {
    return ElementFrom(node.next);
}

std::string_view NameOf(const Node& node) {
    return node.value;
}

std::string TextOf(const Node& node) {
    std::string out;
    AppendText(node, out);
    return out;
}

Node* AddTextElement(Node& parent, const char* name, std::string_view text, bool first) {
    Document* doc = parent.doc;
    Node* element = doc->Add(&parent, false, name, first);
    if (!text.empty()) doc->Add(element, true, std::string(text));
    return element;
}

}  // namespace vorta::xml::backend
