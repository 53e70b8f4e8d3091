#pragma once
// Letter case rules that ignore the locale: names of lines, entries and interfaces are compared
// in ASCII only, so the outcome is the same on every system and in every locale.

#include <algorithm>
#include <string>
#include <string_view>

namespace vorta {

constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
constexpr bool AsciiIsAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// True when `a` and `b` are equal but for the case of ASCII letters.
constexpr bool AsciiIEquals(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiLower(x) == AsciiLower(y);
           });
}

// True when `text` starts with `prefix`, ASCII letters in any case.
constexpr bool AsciiIStartsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && AsciiIEquals(text.substr(0, prefix.size()), prefix);
}

inline std::string AsciiLower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) { return AsciiLower(c); });
    return out;
}

inline std::string AsciiToUpper(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), AsciiUpper);
    return out;
}

}  // namespace vorta
