#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/win32/CommandLine.h"
#include "platform/win32/WideText.h"

namespace vorta::platform {
namespace {

std::vector<std::string> SplitAsWindowsDoes(const std::wstring& text) {
    int argc = 0;
    const std::unique_ptr<wchar_t*, decltype(&LocalFree)> argv(
        CommandLineToArgvW(text.c_str(), &argc), &LocalFree);
    std::vector<std::string> args;
    for (int i = 0; argv && i < argc; ++i) args.push_back(ToUtf8(argv.get()[i]));
    return args;
}

TEST(CommandLine, SplitsBackIntoTheSameArgumentsAndRefusesUnusablePrograms) {
    const std::vector<std::string> command = {"C:\\Program Files\\Vorta\\vorta.exe",
                                              "-install",
                                              "",
                                              "two words",
                                              "tab\there",
                                              "say \"hi\"",
                                              "ends\\",
                                              "C:\\data dir\\",
                                              "a\\\\\"b",
                                              "\\\\server\\share",
                                              "空 格"};
    const std::wstring text = CommandLineText(command);
    EXPECT_EQ(SplitAsWindowsDoes(text), command);
    EXPECT_EQ(text.substr(0, 38), L"\"C:\\Program Files\\Vorta\\vorta.exe\" -in");
    EXPECT_EQ(QuoteArgument(L"-silent"), L"-silent");
    EXPECT_THROW(CommandLineText({}), std::invalid_argument);
    EXPECT_THROW(CommandLineText({"a\"b.exe"}), std::invalid_argument);
}

}  // namespace
}  // namespace vorta::platform
