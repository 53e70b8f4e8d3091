#include "protocol/TextCodec.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "protocol/CharsetConverter.h"

namespace vorta {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
constexpr const char* kGbk = "GBK";

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

std::string ReadableCharset(std::string_view charset) {
    if (IsUtf8Name(charset)) return "UTF-8";
    if (!charset.empty() && codec::Decoder(std::string(charset)).Known())
        return std::string(charset);
    return kGbk;
}

std::string DecodeToUtf8(std::string_view bytes, std::string_view charset) {
    if (IsUtf8Name(charset)) return SanitizeUtf8(bytes);
    std::optional<codec::Decoder> decoder;
    if (!charset.empty()) decoder.emplace(std::string(charset));
    if (!decoder || !decoder->Known()) decoder.emplace(kGbk);
    if (!decoder->Known()) return SanitizeUtf8(bytes);

    std::string out;
    out.reserve(bytes.size() * 3 / 2 + 4);
    decoder->Decode(bytes, out);
    return out;
}

std::string EncodeFromUtf8(std::string_view utf8, std::string_view charset, std::size_t maxBytes) {
    if (IsUtf8Name(charset)) {
        std::string text = SanitizeUtf8(utf8);
        if (text.size() <= maxBytes) return text;
        std::size_t cut = maxBytes;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
        text.resize(cut);
        return text;
    }
    std::optional<codec::Encoder> encoder;
    if (!charset.empty()) encoder.emplace(std::string(charset));
    if (!encoder || !encoder->Known()) encoder.emplace(kGbk);
    std::string out;
    if (!encoder->Known()) return out;
    // Converting one character at a time keeps every cut on a character boundary.
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t len = Utf8SequenceLength(utf8, i);
        std::string encoded = "?";
        if (len == 0)
            len = 1;
        else if (auto bytes = encoder->Encode(utf8.substr(i, len)))
            encoded = std::move(*bytes);
        if (maxBytes != std::string::npos && out.size() + encoded.size() > maxBytes) break;
        out += encoded;
        i += len;
    }
    return out;
}

std::string Utf8ToGbk(std::string_view utf8, std::size_t maxBytes) {
    return EncodeFromUtf8(utf8, kGbk, maxBytes);
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
