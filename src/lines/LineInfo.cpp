#include "lines/LineInfo.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <random>
#include <system_error>

#include "platform/AtomicFile.h"
#include "protocol/TextCodec.h"

namespace vorta {
namespace {

constexpr std::size_t kEntryNameAt = 7;
constexpr std::size_t kUserNameAt = 48;
constexpr std::size_t kPasswordAt = 69;
constexpr std::size_t kIpAddressAt = 90;
constexpr std::size_t kLineIdAt = 106;

void PutString(LineInfoBytes& out, std::size_t at, std::size_t max, const std::string& utf8) {
    const std::string gbk = Utf8ToGbk(utf8, max);
    out[at] = static_cast<std::uint8_t>(gbk.size());
    for (std::size_t i = 0; i < gbk.size(); ++i)
        out[at + 1 + i] = static_cast<std::uint8_t>(gbk[i]);
}

std::string GetString(std::span<const std::uint8_t, kLineInfoSize> in, std::size_t at,
                      std::size_t max) {
    const std::size_t length = std::min<std::size_t>(in[at], max);
    const std::string gbk(reinterpret_cast<const char*>(in.data() + at + 1), length);
    return DecodeToUtf8(gbk, "GBK");
}

[[noreturn]] void CannotRead(const std::filesystem::path& file, std::error_code ec) {
    throw std::system_error(ec, "cannot read " + file.string());
}

}  // namespace

LineInfoBytes EncodeLineInfo(const TLineInfo& info) {
    LineInfoBytes out{};
    out[0] = info.IsActive ? 1 : 0;
    out[1] = info.MasterGroup ? 1 : 0;
    out[2] = info.IsNecessary ? 1 : 0;
    const auto kind = static_cast<std::uint32_t>(info.LineKind);
    for (int i = 0; i < 4; ++i)
        out[3 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(kind >> (8 * i));
    PutString(out, kEntryNameAt, kEntryNameMax, info.EntryName);
    PutString(out, kUserNameAt, kUserNameMax, info.UserName);
    PutString(out, kPasswordAt, kPasswordMax, info.Password);
    PutString(out, kIpAddressAt, kIpAddressMax, info.IpAddress);
    PutString(out, kLineIdAt, kLineIdMax, info.LineID);
    return out;
}

TLineInfo DecodeLineInfo(std::span<const std::uint8_t, kLineInfoSize> in) {
    TLineInfo info;
    info.IsActive = in[0] != 0;
    info.MasterGroup = in[1] != 0;
    info.IsNecessary = in[2] != 0;
    std::uint32_t kind = 0;
    for (int i = 3; i >= 0; --i) kind = (kind << 8) | in[3 + static_cast<std::size_t>(i)];
    info.LineKind = static_cast<std::int32_t>(kind);
    info.EntryName = GetString(in, kEntryNameAt, kEntryNameMax);
    info.UserName = GetString(in, kUserNameAt, kUserNameMax);
    info.Password = GetString(in, kPasswordAt, kPasswordMax);
    info.IpAddress = GetString(in, kIpAddressAt, kIpAddressMax);
    info.LineID = GetString(in, kLineIdAt, kLineIdMax);
    return info;
}

std::string FitToSlot(const std::string& utf8, std::size_t maxBytes) {
    return DecodeToUtf8(Utf8ToGbk(utf8, maxBytes), "GBK");
}

std::vector<TLineInfo> ReadLinesFile(const std::filesystem::path& file) {
    std::optional<std::string> content;
    try {
        content = platform::ReadOwnFile(file, kMaxLines * sizeof(LineInfoBytes));
    } catch (const std::system_error& e) {
        CannotRead(file, e.code());
    }
    std::vector<TLineInfo> records;
    if (!content) return records;
    LineInfoBytes bytes{};
    for (std::size_t at = 0; records.size() < kMaxLines && at + bytes.size() <= content->size();
         at += bytes.size()) {
        std::memcpy(bytes.data(), content->data() + at, bytes.size());
        records.push_back(DecodeLineInfo(bytes));
    }
    return records;
}

void WriteLinesFile(const std::filesystem::path& file, const std::vector<TLineInfo>& records) {
    std::string content;
    for (std::size_t i = 0; i < records.size() && i < kMaxLines; ++i) {
        const LineInfoBytes bytes = EncodeLineInfo(records[i]);
        content.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    // Never truncate-then-write: a crash in between would lose every line.
    platform::WriteFileAtomically(file, content, platform::kOwnerOnly);
}

std::string NewLineId() {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    std::uint64_t hi = random(), lo = random();
    hi = (hi & 0xFFFFFFFFFFFF0FFFull) | 0x0000000000004000ull;  // version 4
    lo = (lo & 0x3FFFFFFFFFFFFFFFull) | 0x8000000000000000ull;  // RFC 4122 variant
    char text[37];
    std::snprintf(text, sizeof text, "%08X-%04X-%04X-%04X-%012llX", static_cast<unsigned>(hi >> 32),
                  static_cast<unsigned>((hi >> 16) & 0xFFFF), static_cast<unsigned>(hi & 0xFFFF),
                  static_cast<unsigned>(lo >> 48),
                  static_cast<unsigned long long>(lo & 0xFFFFFFFFFFFFull));
    return text;
}

}  // namespace vorta
