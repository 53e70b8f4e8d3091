// A heartbeat datagram as a backup receives it from the master of its pair.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "club/ClubUtil.h"

namespace vorta {
namespace {

bool IsLineBreak(char c) {
    return c == '\r' || c == '\n';
}

// The states read from the end of the datagram: the last two non-empty lines, leading blanks
// dropped, matched without regard to ASCII letter case.
std::vector<std::uint8_t> Expected(std::string_view datagram) {
    std::vector<std::uint8_t> states;
    int lines = 0;
    std::size_t end = datagram.size();
    while (lines < 2 && end > 0) {
        std::size_t begin = end;
        while (begin > 0 && !IsLineBreak(datagram[begin - 1])) --begin;
        std::string line(datagram.substr(begin, end - begin));
        line.erase(0, line.find_first_not_of(' '));
        if (!line.empty()) {
            ++lines;
            for (char& c : line)
                if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            if (line == "ACTIVE") states.push_back(kPeerActive);
            if (line == "CLOSE") states.push_back(kPeerClosed);
        }
        end = begin > 0 ? begin - 1 : 0;
    }
    return states;
}

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

}  // namespace
}  // namespace vorta

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vorta;
    const std::string_view datagram = fuzz::AsText(data, size);
    const std::vector<std::uint8_t> states = HeartbeatStates(datagram);
    FUZZ_CHECK(states.size() <= 2);
    for (const std::uint8_t state : states)
        FUZZ_CHECK(state == kPeerActive || state == kPeerClosed);
    FUZZ_CHECK(states == Expected(datagram));

    // Line ends, a leading blank and letter case change nothing.
    const std::string text(datagram);
    FUZZ_CHECK(HeartbeatStates(text + "\r\n") == states);
    FUZZ_CHECK(HeartbeatStates("\n" + text) == states);
    FUZZ_CHECK(HeartbeatStates(" " + text) == states);
    FUZZ_CHECK(HeartbeatStates(LowerAscii(text)) == states);
    return 0;
}
