#pragma once
// Conversions between the program's UTF-8 text and the legacy code page (GBK, code page 936)
// that stored data and the service's documents use.

#include <cstddef>
#include <string>
#include <string_view>

namespace vorta {

// Decodes `bytes` from `charset` (a name such as "GBK" or "UTF-16"; empty means GBK) into UTF-8.
// Bytes that do not form a character of the charset become U+FFFD; an unknown charset falls back
// to GBK.
std::string DecodeToUtf8(std::string_view bytes, std::string_view charset = {});

// The charset DecodeToUtf8 reads `charset` as: the name itself when the OS knows it, else GBK.
std::string ReadableCharset(std::string_view charset);

// Encodes UTF-8 text in `charset` (empty, or one the OS does not know: GBK). Characters the
// charset cannot hold become '?'. When `maxBytes` is given the result is cut on a character
// boundary so that it never exceeds that many bytes.
std::string EncodeFromUtf8(std::string_view utf8, std::string_view charset,
                           std::size_t maxBytes = std::string::npos);

// Encodes UTF-8 text as GBK. Characters GBK cannot hold become '?'. When `maxBytes` is given the
// result is cut on a character boundary so that it never exceeds that many bytes.
std::string Utf8ToGbk(std::string_view utf8, std::size_t maxBytes = std::string::npos);

// True when `text` is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

// Keeps at most `maxUnits` UTF-16 code units of the UTF-8 text, cut on a character boundary.
std::string TruncateUtf16Units(std::string_view utf8, std::size_t maxUnits);

// Removes every leading and trailing byte of code 32 or below.
std::string_view TrimControl(std::string_view text);

}  // namespace vorta
