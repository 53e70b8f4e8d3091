#pragma once
// Helpers for the fuzz targets. A violated property prints where and aborts, so that libFuzzer
// and the replay runner both stop on the input and keep it.

#include <iconv.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string_view>
#include <utility>
#include <vector>

namespace vorta::fuzz {

[[noreturn]] inline void Fail(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property violated: %s\n", file, line, condition);
    std::abort();
}

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// glibc loads a charset's conversion module on iconv_open and unloads it on the last
// iconv_close, which would dominate every run. One open descriptor per charset, held for the
// life of the process, keeps the modules loaded.
class ConversionModules {
public:
    explicit ConversionModules(std::initializer_list<const char*> charsets) {
        for (const char* charset : charsets) {
            for (const auto& [to, from] :
                 {std::pair{"UTF-8", charset}, std::pair{charset, "UTF-8"}}) {
                const iconv_t cd = iconv_open(to, from);
                if (cd != reinterpret_cast<iconv_t>(-1)) open_.push_back(cd);
            }
        }
    }
    ~ConversionModules() {
        for (const iconv_t cd : open_) iconv_close(cd);
    }
    ConversionModules(const ConversionModules&) = delete;
    ConversionModules& operator=(const ConversionModules&) = delete;

private:
    std::vector<iconv_t> open_;
};

}  // namespace vorta::fuzz

#define FUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : ::vorta::fuzz::Fail(#condition, __FILE__, __LINE__))
