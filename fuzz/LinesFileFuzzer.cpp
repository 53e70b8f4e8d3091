// The lines file: the bytes are a whole "LineInfo.dat". Each record is decoded, encoded and
// decoded again; the file is also read through ReadLinesFile from an in-memory file.

#include <sys/mman.h>
#include <unistd.h>

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

// An anonymous in-memory file, closed on scope exit.
class MemFile {
public:
    MemFile() : fd_(::memfd_create("LineInfo.dat", MFD_CLOEXEC)) {}
    ~MemFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    MemFile(const MemFile&) = delete;
    MemFile& operator=(const MemFile&) = delete;

    bool Write(std::string_view bytes) {
        if (fd_ < 0) return false;
        while (!bytes.empty()) {
            const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
            if (n <= 0) return false;
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }
    std::string Path() const { return "/proc/self/fd/" + std::to_string(fd_); }

private:
    int fd_;
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

    MemFile file;
    if (file.Write(fuzz::AsText(data, size))) FUZZ_CHECK(ReadLinesFile(file.Path()) == expected);
    return 0;
}
