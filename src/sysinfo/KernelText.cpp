#include "sysinfo/KernelText.h"

#include <charconv>
#include <limits>

#include "protocol/TextCodec.h"

namespace vorta::kerneltext {
namespace {

constexpr std::size_t kMaxServicePack = 128;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Calls `visit` with every line of `text`, without its line break.
template <typename Visit>
void ForEachLine(std::string_view text, Visit visit) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        visit(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
}

// A shell word as os-release writes it: "double quoted" with \" \\ \$ \` escapes, 'single
// quoted' verbatim, or bare with backslash escapes.
std::string Unquote(std::string_view value) {
    std::string out;
    if (value.starts_with('\'')) {
        const std::size_t end = value.find('\'', 1);
        return std::string(value.substr(1, end == std::string_view::npos ? end : end - 1));
    }
    const bool quoted = value.starts_with('"');
    for (std::size_t i = quoted ? 1 : 0; i < value.size(); ++i) {
        const char c = value[i];
        if (quoted && c == '"') break;
        if (c == '\\' && i + 1 < value.size()) {
            const char next = value[i + 1];
            if (!quoted || next == '"' || next == '\\' || next == '$' || next == '`') {
                out += next;
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text) {
    Number value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<std::string> OsReleaseValue(std::string_view text, std::string_view key) {
    std::optional<std::string> found;
    ForEachLine(text, [&](std::string_view line) {
        line = TrimControl(line);
        if (line.empty() || line.front() == '#') return;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos || line.substr(0, eq) != key) return;
        found = Unquote(line.substr(eq + 1));
    });
    return found;
}

KernelRelease ParseKernelRelease(std::string_view release) {
    release = TrimControl(release);
    KernelRelease parsed;
    std::size_t at = 0;
    const auto number = [&](std::uint32_t& out) {
        const std::size_t start = at;
        while (at < release.size() && IsDigit(release[at])) ++at;
        if (at == start) return false;
        out = ParseNumber<std::uint32_t>(release.substr(start, at - start)).value_or(0);
        return true;
    };
    const auto dottedNumber = [&](std::uint32_t& out) {
        if (at + 1 >= release.size() || release[at] != '.' || !IsDigit(release[at + 1]))
            return false;
        ++at;
        return number(out);
    };
    if (number(parsed.major) && dottedNumber(parsed.minor)) dottedNumber(parsed.build);
    std::string_view rest = release.substr(at);
    if (!rest.empty() && (rest.front() == '-' || rest.front() == '.')) rest.remove_prefix(1);
    parsed.servicePack = std::string(rest.substr(0, kMaxServicePack));
    return parsed;
}

std::vector<CpuFields> SplitCpuInfo(std::string_view text) {
    std::vector<CpuFields> processors;
    CpuFields block;
    const auto endBlock = [&] {
        if (block.contains("processor")) processors.push_back(std::move(block));
        block.clear();
    };
    ForEachLine(text, [&](std::string_view line) {
        if (TrimControl(line).empty()) {
            endBlock();
            return;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) return;
        block.emplace(std::string(TrimControl(line.substr(0, colon))),
                      std::string(TrimControl(line.substr(colon + 1))));
    });
    endBlock();
    return processors;
}

std::optional<std::uint64_t> MemInfoBytes(std::string_view text, std::string_view key) {
    std::optional<std::uint64_t> bytes;
    ForEachLine(text, [&](std::string_view line) {
        const std::size_t colon = line.find(':');
        if (bytes || colon == std::string_view::npos || line.substr(0, colon) != key) return;
        std::string_view value = TrimControl(line.substr(colon + 1));
        const std::size_t blank = value.find_first_of(" \t");
        const std::string_view unit =
            blank == std::string_view::npos ? std::string_view() : TrimControl(value.substr(blank));
        const auto number = ParseNumber<std::uint64_t>(value.substr(0, blank));
        if (!number) return;
        if (unit.empty())
            bytes = *number;
        else if (unit == "kB" && *number <= std::numeric_limits<std::uint64_t>::max() / 1024)
            bytes = *number * 1024;
    });
    return bytes;
}

std::optional<int> CountCpuList(std::string_view text) {
    text = TrimControl(text);
    if (text.empty()) return std::nullopt;
    int count = 0;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view range = text.substr(0, comma);
        const std::size_t dash = range.find('-');
        const auto first = ParseNumber<int>(range.substr(0, dash));
        const auto last =
            dash == std::string_view::npos ? first : ParseNumber<int>(range.substr(dash + 1));
        if (!first || !last || *last < *first || *last - *first >= 1 << 20) return std::nullopt;
        count += *last - *first + 1;
        if (count > 1 << 20) return std::nullopt;
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return count;
}

}  // namespace vorta::kerneltext
