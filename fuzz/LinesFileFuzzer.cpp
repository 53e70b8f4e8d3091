// The lines file: the bytes are a whole "LineInfo.dat". Each record is decoded, encoded and
// decoded again; the file is also read through ReadLinesFile.

#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "lines/LineInfo.h"
#include "protocol/TextCodec.h"

namespace vorta {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The string slots in file order: three flag bytes and the kind come first, then each slot is
// a length byte followed by its text bytes.
struct Slot {
    std::size_t at;
    std::size_t max;
    std::string TLineInfo::*field;
};
constexpr std::size_t kFirstSlotAt = 3 + 4;
constexpr Slot kSlots[] = {
    {kFirstSlotAt, kEntryNameMax, &TLineInfo::EntryName},
    {kFirstSlotAt + 1 + kEntryNameMax, kUserNameMax, &TLineInfo::UserName},
    {kFirstSlotAt + 2 + kEntryNameMax + kUserNameMax, kPasswordMax, &TLineInfo::Password},
    {kFirstSlotAt + 3 + kEntryNameMax + kUserNameMax + kPasswordMax, kIpAddressMax,
     &TLineInfo::IpAddress},
    {kFirstSlotAt + 4 + kEntryNameMax + kUserNameMax + kPasswordMax + kIpAddressMax, kLineIdMax,
     &TLineInfo::LineID},
};
static_assert(kSlots[4].at + 1 + kLineIdMax == kLineInfoSize);

// The file ReadLinesFile reads: a real one, since the reader refuses links (as the
// /proc/self/fd/N of an in-memory file is). Its folder lives as long as the process.
class ScratchFile {
public:
    ScratchFile() {
        std::string dir = (std::filesystem::temp_directory_path() / "vorta-fuzz-XXXXXX").string();
        if (::mkdtemp(dir.data()) != nullptr) dir_ = dir;
    }
    ~ScratchFile() {
        std::error_code ec;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    bool Write(std::string_view bytes) {
        if (dir_.empty()) return false;
        std::ofstream out(Path(), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(out.flush());
    }
    std::filesystem::path Path() const { return dir_ / "LineInfo.dat"; }

private:
    std::filesystem::path dir_;
};

void CheckEncoded(const LineInfoBytes& bytes) {
    for (const Slot& slot : kSlots) {
        FUZZ_CHECK(bytes[slot.at] <= slot.max);
        // Unused bytes of a slot are zero.
        for (std::size_t i = 1 + bytes[slot.at]; i <= slot.max; ++i)
            FUZZ_CHECK(bytes[slot.at + i] == 0);
    }
    for (std::size_t flag = 0; flag < 3; ++flag) FUZZ_CHECK(bytes[flag] <= 1);
}

TLineInfo CheckRecord(std::span<const std::uint8_t, kLineInfoSize> bytes) {
    const TLineInfo first = DecodeLineInfo(bytes);
    bool clean = true;
    for (const Slot& slot : kSlots) {
        const std::string& text = first.*slot.field;
        FUZZ_CHECK(IsValidUtf8(text));
        // Every byte becomes a character or one replacement, so a decoded text fits its slot.
        FUZZ_CHECK(Utf8ToGbk(text).size() <= std::min<std::size_t>(bytes[slot.at], slot.max));
        FUZZ_CHECK(FitToSlot(text, slot.max) == text ||
                   text.find(kReplacement) != std::string::npos);
        if (text.find(kReplacement) != std::string::npos) clean = false;
    }
    FUZZ_CHECK(first.LineKind ==
               static_cast<std::int32_t>(std::uint32_t{bytes[3]} | std::uint32_t{bytes[4]} << 8 |
                                         std::uint32_t{bytes[5]} << 16 |
                                         std::uint32_t{bytes[6]} << 24));

    const LineInfoBytes encoded = EncodeLineInfo(first);
    CheckEncoded(encoded);
    const TLineInfo second = DecodeLineInfo(encoded);
    // Bytes that are not GBK come back as "?"; everything else survives a save unchanged.
    if (clean) FUZZ_CHECK(second == first);
    FUZZ_CHECK(second.IsActive == first.IsActive && second.MasterGroup == first.MasterGroup &&
               second.IsNecessary == first.IsNecessary && second.LineKind == first.LineKind);
    // After one save the record is stable.
    FUZZ_CHECK(EncodeLineInfo(second) == encoded);
    return first;
}

}  // namespace
}  // namespace vorta

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vorta;
    static const fuzz::ConversionModules modules{"GBK"};
    const std::span<const std::uint8_t> bytes(data, size);
    std::vector<TLineInfo> expected;
    for (std::size_t at = 0; at + kLineInfoSize <= size && expected.size() < kMaxLines;
         at += kLineInfoSize)
        expected.push_back(CheckRecord(bytes.subspan(at).first<kLineInfoSize>()));

    static ScratchFile file;
    if (file.Write(fuzz::AsText(data, size))) FUZZ_CHECK(ReadLinesFile(file.Path()) == expected);
    return 0;
}
