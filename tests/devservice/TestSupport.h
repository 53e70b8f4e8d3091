#pragma once

#include <gtest/gtest.h>
#include <httplib.h>
#include <libxml/tree.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DevService.h"

namespace devservice {

// Readable parameter names in test output.
inline void PrintTo(Exchange exchange, std::ostream* out) {
    *out << exchangeName(exchange);
}

}  // namespace devservice

namespace devservice::test {

// Request building: element text is escaped; group() nests already built elements.
std::string el(const std::string& name, const std::string& text);
std::string group(const std::string& name, const std::string& inner);
std::string packet(const std::string& inner,
                   const std::string& declaration = R"(<?xml version="1.0" encoding="UTF-8"?>)");
// MsgType, Version (not for the profile query), UserName, UserPwd, then `extra`.
std::string request(Exchange exchange, const std::string& user, const std::string& password,
                    const std::string& extra = {});

// An answer decoded by libxml2 according to its own XML declaration.
class AnswerDoc {
public:
    explicit AnswerDoc(const std::string& body);
    bool ok() const { return doc_ != nullptr; }
    const xmlNode* root() const;
    std::string encoding() const;  // as declared

    static std::vector<const xmlNode*> children(const xmlNode* parent,
                                                const std::string& name = {});
    static std::vector<std::string> childNames(const xmlNode* parent);
    static const xmlNode* child(const xmlNode* parent, const std::string& name);
    static std::string text(const xmlNode* node);  // "" if node is null
    std::string text(const std::string& name) const { return text(child(root(), name)); }

private:
    struct Free {
        void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
    };
    std::unique_ptr<xmlDoc, Free> doc_;
};

// Polls `condition` until it holds; false after a generous guard so a broken build fails
// instead of hanging.
bool eventually(const std::function<bool()>& condition);

// A running service on an ephemeral loopback port with the built-in fixture.
class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(service.start("127.0.0.1", 0)); }
    void TearDown() override { service.stop(); }

    httplib::Client client() const;
    httplib::Result post(const std::string& body) const;
    // Posts and asserts an HTTP 200 answer that parses as XML.
    AnswerDoc exchange(const std::string& body) const;

    DevService service{Fixture::builtIn()};
};

}  // namespace devservice::test
