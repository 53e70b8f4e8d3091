// Charset conversions on the system code pages (MultiByteToWideChar / WideCharToMultiByte).
// Windows has no lookup from a charset name to a code page outside COM, so the names the
// service's documents and answers use are listed here. UTF-16 is converted by hand: the code
// page functions do not take 1200/1201.

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "protocol/CharsetConverter.h"

namespace vorta::codec {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
constexpr UINT kUtf16Le = 1200;
constexpr UINT kUtf16Be = 1201;
constexpr UINT kUtf16Any = 0xFFFF'0000;  // byte order from a BOM, big-endian without one

std::string Lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// The code page for a charset name; 0 when there is none.
UINT CodePageOf(const std::string& charset) {
    struct Name {
        const char* name;
        UINT codePage;
    };
    static constexpr Name kNames[] = {
        {"gbk", 936},         {"gb2312", 936},       {"cp936", 936},         {"x-gbk", 936},
        {"windows-936", 936}, {"gb18030", 54936},    {"big5", 950},          {"cp950", 950},
        {"shift_jis", 932},   {"cp932", 932},        {"euc-jp", 20932},      {"euc-kr", 949},
        {"cp949", 949},       {"us-ascii", 20127},   {"ascii", 20127},       {"koi8-r", 20866},
        {"koi8-u", 21866},    {"utf-16", kUtf16Any}, {"utf-16le", kUtf16Le}, {"utf-16be", kUtf16Be},
        {"latin1", 28591},    {"iso-8859-1", 28591},
    };
    const std::string lower = Lower(charset);
    for (const Name& n : kNames)
        if (lower == n.name) return n.codePage;
    // ISO-8859-N is 28590 + N; windows-125N and cpNNN are the code page itself.
    auto number = [&](std::string_view prefix) -> UINT {
        if (!lower.starts_with(prefix) || lower.size() == prefix.size() ||
            lower.size() > prefix.size() + 5)
            return 0;
        UINT n = 0;
        for (char c : lower.substr(prefix.size())) {
            if (c < '0' || c > '9') return 0;
            n = n * 10 + static_cast<UINT>(c - '0');
        }
        return n;
    };
    if (UINT n = number("iso-8859-"); n >= 1 && n <= 16) return 28590 + n;
    if (UINT n = number("windows-"); n >= 1250 && n <= 1258) return n;
    if (UINT n = number("cp"); n >= 1250 && n <= 1258) return n;
    return 0;
}

bool SystemKnows(UINT codePage) {
    CPINFO info;
    return GetCPInfo(codePage, &info) != 0;
}

void AppendUtf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// UTF-16 code units to UTF-8; a lone surrogate becomes U+FFFD.
void AppendWide(const wchar_t* units, std::size_t count, std::string& out) {
    for (std::size_t i = 0; i < count; ++i) {
        const char32_t u = static_cast<char16_t>(units[i]);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count) {
            const char32_t low = static_cast<char16_t>(units[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00), out);
                ++i;
                continue;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF)
            out += kReplacement;
        else
            AppendUtf8(u, out);
    }
}

void DecodeUtf16(std::string_view bytes, bool bigEndian, std::string& out) {
    std::wstring units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        units += static_cast<wchar_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
    }
    AppendWide(units.data(), units.size(), out);
    if (bytes.size() % 2 != 0) out += kReplacement;
}

// Decodes one character of at most `maxLength` bytes at the start of `bytes`; the bytes it took,
// 0 when no prefix is a character of the code page.
std::size_t DecodeOne(UINT codePage, std::string_view bytes, std::size_t maxLength,
                      std::string& out) {
    wchar_t units[4];
    for (std::size_t len = 1; len <= std::min(maxLength, bytes.size()); ++len) {
        const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                          static_cast<int>(len), units, 4);
        if (n > 0) {
            AppendWide(units, static_cast<std::size_t>(n), out);
            return len;
        }
    }
    return 0;
}

}  // namespace

struct Decoder::State {
    UINT codePage;
};
struct Encoder::State {
    UINT codePage;
};

Decoder::Decoder(const std::string& charset) {
    const UINT cp = CodePageOf(charset);
    if (cp == kUtf16Any || cp == kUtf16Le || cp == kUtf16Be || (cp != 0 && SystemKnows(cp)))
        state_.reset(new State{cp});
}
Decoder::~Decoder() = default;

void Decoder::Decode(std::string_view bytes, std::string& out) {
    const UINT cp = state_->codePage;
    if (cp == kUtf16Any) {
        const bool le = bytes.starts_with("\xFF\xFE");
        if (le || bytes.starts_with("\xFE\xFF")) bytes.remove_prefix(2);
        return DecodeUtf16(bytes, !le, out);
    }
    if (cp == kUtf16Le || cp == kUtf16Be) return DecodeUtf16(bytes, cp == kUtf16Be, out);
    if (bytes.empty()) return;

    // Well-formed text converts in one call; otherwise a character at a time, each byte that
    // starts none becoming U+FFFD.
    const int size = static_cast<int>(bytes.size());
    const int needed =
        MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (needed > 0) {
        std::wstring wide(static_cast<std::size_t>(needed), L'\0');
        MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(), needed);
        return AppendWide(wide.data(), wide.size(), out);
    }
    CPINFO info{};
    GetCPInfo(cp, &info);
    const std::size_t maxLength = std::max<UINT>(info.MaxCharSize, 1);
    while (!bytes.empty()) {
        std::size_t taken = DecodeOne(cp, bytes, maxLength, out);
        if (taken == 0) {
            out += kReplacement;
            taken = 1;
        }
        bytes.remove_prefix(taken);
    }
}

Encoder::Encoder(const std::string& charset) {
    const UINT cp = CodePageOf(charset);
    if (cp != 0 && cp != kUtf16Any && cp != kUtf16Le && cp != kUtf16Be && SystemKnows(cp))
        state_.reset(new State{cp});
}
Encoder::~Encoder() = default;

std::optional<std::string> Encoder::Encode(std::string_view character) {
    wchar_t units[4];
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, character.data(),
                                      static_cast<int>(character.size()), units, 4);
    if (n <= 0) return std::nullopt;
    char bytes[8];
    BOOL usedDefault = FALSE;
    // GB18030 and the UTF code pages refuse the used-default flag; GB18030 holds every character.
    const bool gb18030 = state_->codePage == 54936;
    const int m =
        WideCharToMultiByte(state_->codePage, gb18030 ? 0 : WC_NO_BEST_FIT_CHARS, units, n, bytes,
                            sizeof bytes, nullptr, gb18030 ? nullptr : &usedDefault);
    if (m <= 0 || usedDefault) return std::nullopt;
    return std::string(bytes, static_cast<std::size_t>(m));
}

}  // namespace vorta::codec
