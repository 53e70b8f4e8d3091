#include "ProbeImage.h"

#include <cstdint>

namespace devservice {
namespace {

constexpr unsigned kWidth = 112;
constexpr unsigned kHeight = 1;
constexpr unsigned kMinCodeSize = 2;  // smallest allowed; gives 3-bit codes
constexpr unsigned kClear = 1u << kMinCodeSize;
constexpr unsigned kEnd = kClear + 1;

void putShort(std::string& out, unsigned value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

// Emitting a clear code before every pixel keeps the code table from growing, so each code stays
// three bits wide and no real compressor is needed.
std::string pixelCodes() {
    std::string out;
    std::uint32_t acc = 0;
    unsigned bits = 0;
    const auto put = [&](unsigned code) {
        acc |= code << bits;
        bits += kMinCodeSize + 1;
        for (; bits >= 8; bits -= 8, acc >>= 8) out.push_back(static_cast<char>(acc & 0xFF));
    };
    for (unsigned i = 0; i < kWidth * kHeight; ++i) {
        put(kClear);
        put(0);  // colour 0 of the table
    }
    put(kEnd);
    if (bits > 0) out.push_back(static_cast<char>(acc & 0xFF));
    return out;
}

std::string build() {
    std::string gif = "GIF89a";
    putShort(gif, kWidth);
    putShort(gif, kHeight);
    gif += std::string("\x80\x00\x00", 3);              // 2-entry global colour table
    gif += std::string("\x00\x00\x00\xFF\xFF\xFF", 6);  // black, white
    gif.push_back('\x2C');                              // image descriptor
    putShort(gif, 0);
    putShort(gif, 0);
    putShort(gif, kWidth);
    putShort(gif, kHeight);
    gif.push_back('\x00');
    gif.push_back(static_cast<char>(kMinCodeSize));
    const std::string data = pixelCodes();
    for (std::size_t at = 0; at < data.size(); at += 255) {
        const std::string block = data.substr(at, 255);
        gif.push_back(static_cast<char>(block.size()));
        gif += block;
    }
    gif.push_back('\x00');  // end of image data
    gif.push_back('\x3B');  // trailer
    return gif;
}

}  // namespace

const std::string& probeImage() {
    static const std::string image = build();
    return image;
}

}  // namespace devservice
