#pragma once
// The record of one line and its 147-byte form in the lines file "LineInfo.dat".

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace vorta {

inline constexpr std::size_t kLineInfoSize = 147;
inline constexpr std::size_t kMaxLines = 5;
inline constexpr const char* kLinesFileName = "LineInfo.dat";

// Slot sizes of the string fields (text bytes, after the length byte).
inline constexpr std::size_t kEntryNameMax = 40;
inline constexpr std::size_t kUserNameMax = 20;
inline constexpr std::size_t kPasswordMax = 20;
inline constexpr std::size_t kIpAddressMax = 15;
inline constexpr std::size_t kLineIdMax = 40;

// Text fields are UTF-8 here and GBK in the file.
struct TLineInfo {
    bool IsActive = false;  // up at the last refresh; never trusted from the file
    bool MasterGroup = false;
    bool IsNecessary = false;
    std::int32_t LineKind = 0;
    std::string EntryName;
    std::string UserName;
    std::string Password;
    std::string IpAddress;
    std::string LineID;

    bool operator==(const TLineInfo&) const = default;
};

using LineInfoBytes = std::array<std::uint8_t, kLineInfoSize>;

// The file form: packed, kind little-endian at offset 3, length-prefixed GBK slots cut on a
// character boundary, unused bytes zero.
LineInfoBytes EncodeLineInfo(const TLineInfo& info);
// Reads a record; a length byte larger than its slot is taken as the slot's size.
TLineInfo DecodeLineInfo(std::span<const std::uint8_t, kLineInfoSize> bytes);

// A text cut, as the file would cut it, to at most `maxBytes` GBK bytes.
std::string FitToSlot(const std::string& utf8, std::size_t maxBytes);

// The first five records of a lines file, as stored; none when it is missing or shorter than
// a record. Throws std::system_error, naming the file and the cause, when it exists but cannot
// be read (a folder, no permission, a link loop): that is not the same as having no lines.
std::vector<TLineInfo> ReadLinesFile(const std::filesystem::path& file);
// Replaces the file whole (mode 0600) with at most five records; throws on failure and then
// leaves the old file as it was.
void WriteLinesFile(const std::filesystem::path& file, const std::vector<TLineInfo>& records);

// A fresh GUID as 36 upper-case characters in the 8-4-4-4-12 pattern.
std::string NewLineId();

}  // namespace vorta
