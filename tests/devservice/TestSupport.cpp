#include "TestSupport.h"

#include <libxml/parser.h>

#include <chrono>
#include <thread>

namespace devservice::test {
namespace {

std::string escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace

std::string el(const std::string& name, const std::string& text) {
    return "<" + name + ">" + escape(text) + "</" + name + ">";
}

std::string group(const std::string& name, const std::string& inner) {
    return "<" + name + ">" + inner + "</" + name + ">";
}

std::string packet(const std::string& inner, const std::string& declaration) {
    return declaration + group("VortaPacket", inner);
}

std::string request(Exchange exchange, const std::string& user, const std::string& password,
                    const std::string& extra) {
    std::string inner = el("MsgType", std::string(requestMsgType(exchange)));
    if (exchange != Exchange::Profile) inner += el("Version", "1.0");
    inner += el("UserName", user) + el("UserPwd", password) + extra;
    return packet(inner);
}

AnswerDoc::AnswerDoc(const std::string& body)
    : doc_(xmlReadMemory(body.data(), static_cast<int>(body.size()), nullptr, nullptr,
                         XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING)) {}

const xmlNode* AnswerDoc::root() const {
    return doc_ ? xmlDocGetRootElement(doc_.get()) : nullptr;
}

std::string AnswerDoc::encoding() const {
    return doc_ && doc_->encoding ? reinterpret_cast<const char*>(doc_->encoding) : "";
}

std::vector<const xmlNode*> AnswerDoc::children(const xmlNode* parent, const std::string& name) {
    std::vector<const xmlNode*> out;
    for (const xmlNode* n = parent ? parent->children : nullptr; n != nullptr; n = n->next) {
        if (n->type != XML_ELEMENT_NODE) continue;
        if (name.empty() || name == reinterpret_cast<const char*>(n->name)) out.push_back(n);
    }
    return out;
}

std::vector<std::string> AnswerDoc::childNames(const xmlNode* parent) {
    std::vector<std::string> names;
    for (const xmlNode* n : children(parent))
        names.emplace_back(reinterpret_cast<const char*>(n->name));
    return names;
}

const xmlNode* AnswerDoc::child(const xmlNode* parent, const std::string& name) {
    const auto found = children(parent, name);
    return found.empty() ? nullptr : found.front();
}

std::string AnswerDoc::text(const xmlNode* node) {
    if (node == nullptr) return {};
    xmlChar* content = xmlNodeGetContent(node);
    std::string out = content ? reinterpret_cast<const char*>(content) : "";
    xmlFree(content);
    return out;
}

bool eventually(const std::function<bool()>& condition) {
    const auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > guard) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

httplib::Client ServiceTest::client() const {
    httplib::Client cli("127.0.0.1", service.port());
    cli.set_read_timeout(30, 0);
    return cli;
}

httplib::Result ServiceTest::post(const std::string& body) const {
    return client().Post(DevService::kExchangePath, body, "text/xml");
}

AnswerDoc ServiceTest::exchange(const std::string& body) const {
    auto res = post(body);
    EXPECT_TRUE(res) << "no answer";
    if (!res) return AnswerDoc("");
    EXPECT_EQ(res->status, 200) << res->body;
    AnswerDoc doc(res->body);
    EXPECT_TRUE(doc.ok()) << res->body;
    return doc;
}

}  // namespace devservice::test
