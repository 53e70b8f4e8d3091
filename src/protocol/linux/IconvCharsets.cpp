// Charset conversions on iconv.

#include <iconv.h>

#include <cerrno>

#include "protocol/CharsetConverter.h"

namespace vorta::codec {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

struct IconvCloser {
    void operator()(iconv_t cd) const { iconv_close(cd); }
};
using IconvHandle = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

IconvHandle Open(const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
    return IconvHandle(cd);
}

}  // namespace

struct Decoder::State {
    IconvHandle cd;
};
struct Encoder::State {
    IconvHandle cd;
};

Decoder::Decoder(const std::string& charset) {
    if (IconvHandle cd = Open("UTF-8", charset.c_str())) state_.reset(new State{std::move(cd)});
}
Decoder::~Decoder() = default;

void Decoder::Decode(std::string_view bytes, std::string& out) {
    iconv_t cd = state_->cd.get();
    char buffer[4096];
    auto* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (rc == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ or an incomplete sequence at the end: replace one byte and go on.
            out += kReplacement;
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
}

Encoder::Encoder(const std::string& charset) {
    if (IconvHandle cd = Open(charset.c_str(), "UTF-8")) state_.reset(new State{std::move(cd)});
}
Encoder::~Encoder() = default;

std::optional<std::string> Encoder::Encode(std::string_view character) {
    char buffer[8];
    auto* in = const_cast<char*>(character.data());
    std::size_t inLeft = character.size();
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    if (iconv(state_->cd.get(), &in, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
        iconv(state_->cd.get(), nullptr, nullptr, nullptr, nullptr);
        return std::nullopt;
    }
    return std::string(buffer, static_cast<std::size_t>(outPtr - buffer));
}

}  // namespace vorta::codec
