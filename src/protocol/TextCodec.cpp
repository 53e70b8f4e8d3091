#include "protocol/TextCodec.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <memory>

namespace vorta {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
constexpr const char* kGbk = "GBK";

struct IconvCloser {
    void operator()(iconv_t cd) const { iconv_close(cd); }
};
using IconvHandle = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

IconvHandle Open(const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
    return IconvHandle(cd);
}

bool IsUtf8Name(std::string_view charset) {
    std::string lower(charset);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower == "utf-8" || lower == "utf8";
}

// Length of the UTF-8 sequence starting at `s[i]`, or 0 when it is malformed.
std::size_t Utf8SequenceLength(std::string_view s, std::size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t len = 0;
    char32_t cp = 0;
    if (b < 0x80) return 1;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        cp = b & 0x07;
    } else {
        return 0;
    }
    if (i + len > s.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    // Overlong forms, surrogates and values beyond U+10FFFF are not UTF-8.
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

std::string SanitizeUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t len = Utf8SequenceLength(bytes, i);
        if (len == 0) {
            out += kReplacement;
            ++i;
        } else {
            out.append(bytes.substr(i, len));
            i += len;
        }
    }
    return out;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = Utf8SequenceLength(text, i);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

std::string DecodeToUtf8(std::string_view bytes, std::string_view charset) {
    if (IsUtf8Name(charset)) return SanitizeUtf8(bytes);
    IconvHandle cd;
    if (!charset.empty()) cd = Open("UTF-8", std::string(charset).c_str());
    if (!cd) cd = Open("UTF-8", kGbk);
    if (!cd) return SanitizeUtf8(bytes);

    std::string out;
    out.reserve(bytes.size() * 3 / 2 + 4);
    char buffer[4096];
    auto* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t rc = iconv(cd.get(), &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (rc == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ or an incomplete sequence at the end: replace one byte and go on.
            out += kReplacement;
            ++in;
            --inLeft;
            iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

std::string Utf8ToGbk(std::string_view utf8, std::size_t maxBytes) {
    IconvHandle cd = Open(kGbk, "UTF-8");
    std::string out;
    if (!cd) return out;
    // Converting one character at a time keeps every cut on a character boundary.
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t len = Utf8SequenceLength(utf8, i);
        std::string encoded = "?";
        if (len == 0) {
            len = 1;
        } else {
            char buffer[8];
            auto* in = const_cast<char*>(utf8.data() + i);
            std::size_t inLeft = len;
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            if (iconv(cd.get(), &in, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1))
                encoded.assign(buffer, static_cast<std::size_t>(outPtr - buffer));
            else
                iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
        }
        if (maxBytes != std::string::npos && out.size() + encoded.size() > maxBytes) break;
        out += encoded;
        i += len;
    }
    return out;
}

std::string TruncateUtf16Units(std::string_view utf8, std::size_t maxUnits) {
    std::size_t units = 0;
    std::size_t i = 0;
    while (i < utf8.size()) {
        std::size_t len = Utf8SequenceLength(utf8, i);
        if (len == 0) len = 1;  // callers pass sanitised text; be safe all the same
        const std::size_t need = len == 4 ? 2 : 1;
        if (units + need > maxUnits) break;
        units += need;
        i += len;
    }
    return std::string(utf8.substr(0, i));
}

std::string_view TrimControl(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
    return text.substr(begin, end - begin);
}

}  // namespace vorta
