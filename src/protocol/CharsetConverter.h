#pragma once
// The OS's charset conversions, behind TextCodec.cpp; one implementation per OS (linux/, win32/).
// Charset names are the ones TextCodec accepts, e.g. "GBK", "UTF-16", "ISO-8859-1".

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vorta::codec {

// Turns text of one charset into UTF-8.
class Decoder {
public:
    explicit Decoder(const std::string& charset);
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // False when the OS does not know the charset.
    bool Known() const { return state_ != nullptr; }
    // Appends `bytes` as UTF-8 to `out`; a byte that starts no character of the charset (an
    // incomplete one at the end included) becomes U+FFFD and decoding goes on after it.
    void Decode(std::string_view bytes, std::string& out);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Turns UTF-8 text into one charset, a character at a time.
class Encoder {
public:
    explicit Encoder(const std::string& charset);
    ~Encoder();
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    bool Known() const { return state_ != nullptr; }
    // The charset's bytes for one well-formed UTF-8 character; nothing when it has none.
    std::optional<std::string> Encode(std::string_view character);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace vorta::codec
