#include "app/win32/ConsoleStreams.h"

#include <algorithm>
#include <string_view>

#include "platform/win32/Console.h"
#include "platform/win32/WideText.h"

namespace vorta::app {
namespace {

constexpr std::size_t kWriteAt = 4096;  // pending bytes that are written without a flush

// The length of the longest start of `text` that ends with a whole UTF-8 sequence: a write may
// end inside a character, whose rest the next write brings.
std::size_t WholeCharacters(std::string_view text) {
    const std::size_t n = text.size();
    for (std::size_t back = 1; back <= 3 && back <= n; ++back) {
        const auto c = static_cast<unsigned char>(text[n - back]);
        if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
        const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back ? n - back : n;
    }
    return n;
}

bool WriteConsoleAll(HANDLE console, std::wstring_view text) {
    while (!text.empty()) {
        DWORD count = static_cast<DWORD>(std::min<std::size_t>(text.size(), 8192));
        // A piece must not end between the two halves of a surrogate pair.
        if (count < text.size() && text[count - 1] >= 0xD800 && text[count - 1] < 0xDC00) --count;
        DWORD wrote = 0;
        if (!WriteConsoleW(console, text.data(), count, &wrote, nullptr) || wrote == 0)
            return false;
        text.remove_prefix(wrote);
    }
    return true;
}

bool WriteFileAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD count = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 65536));
        DWORD wrote = 0;
        if (!WriteFile(file, bytes.data(), count, &wrote, nullptr) || wrote == 0) return false;
        bytes.remove_prefix(wrote);
    }
    return true;
}

}  // namespace

ConsoleOutputBuffer::~ConsoleOutputBuffer() {
    std::lock_guard lock(mutex_);
    WriteOut(true);
}

ConsoleOutputBuffer::int_type ConsoleOutputBuffer::overflow(int_type c) {
    std::lock_guard lock(mutex_);
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    pending_ += traits_type::to_char_type(c);
    if (pending_.size() >= kWriteAt && !WriteOut(false)) return traits_type::eof();
    return c;
}

std::streamsize ConsoleOutputBuffer::xsputn(const char* s, std::streamsize n) {
    std::lock_guard lock(mutex_);
    pending_.append(s, static_cast<std::size_t>(n));
    if (pending_.size() >= kWriteAt && !WriteOut(false)) return 0;
    return n;
}

int ConsoleOutputBuffer::sync() {
    std::lock_guard lock(mutex_);
    return WriteOut(false) ? 0 : -1;
}

bool ConsoleOutputBuffer::WriteOut(bool all) {
    if (!opened_) {
        const platform::StandardStream stream = platform::OpenStandardStream(which_);
        handle_ = stream.handle;
        console_ = stream.console;
        opened_ = true;
    }
    if (handle_ == nullptr) {  // nowhere to write: what a GUI program's output always was
        pending_.clear();
        return true;
    }
    if (console_) {
        const std::size_t whole = all ? pending_.size() : WholeCharacters(pending_);
        const bool ok = WriteConsoleAll(handle_, platform::ToWide({pending_.data(), whole}));
        pending_.erase(0, whole);
        return ok;
    }
    std::string bytes;
    bytes.reserve(pending_.size() + pending_.size() / 16);
    for (const char c : pending_) {
        if (c == '\n') bytes += '\r';
        bytes += c;
    }
    pending_.clear();
    return WriteFileAll(handle_, bytes);
}

ConsoleInputBuffer::int_type ConsoleInputBuffer::underflow() {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    if (!opened_) {
        const platform::StandardStream stream = platform::OpenStandardStream(STD_INPUT_HANDLE);
        handle_ = stream.handle;
        console_ = stream.console;
        opened_ = true;
        ended_ = handle_ == nullptr;
    }
    buffer_.clear();
    while (buffer_.empty() && !ended_) {
        if (console_) {
            wchar_t typed[1024];
            DWORD read = 0;
            if (!ReadConsoleW(handle_, typed, 1024, &read, nullptr) || read == 0) {
                ended_ = true;
                break;
            }
            std::wstring text;
            if (highSurrogate_ != 0) text += highSurrogate_;
            highSurrogate_ = 0;
            for (DWORD i = 0; i < read; ++i)
                if (typed[i] != L'\r') text += typed[i];  // the console ends lines with CR LF
            // Ctrl+Z at the start of a line ends the input, as the C runtime has it.
            if (!text.empty() && text.front() == 0x1A) {
                ended_ = true;
                break;
            }
            if (!text.empty() && text.back() >= 0xD800 && text.back() < 0xDC00) {
                highSurrogate_ = text.back();
                text.pop_back();
            }
            buffer_ = platform::ToUtf8(text);
        } else {
            char bytes[4096];
            DWORD got = 0;
            // A pipe whose writer closed answers ERROR_BROKEN_PIPE: the end of the input.
            if (!ReadFile(handle_, bytes, sizeof bytes, &got, nullptr) || got == 0) {
                ended_ = true;
                break;
            }
            buffer_.assign(bytes, got);
        }
    }
    if (buffer_.empty()) return traits_type::eof();
    setg(buffer_.data(), buffer_.data(), buffer_.data() + buffer_.size());
    return traits_type::to_int_type(*gptr());
}

ConsoleStreams::ConsoleStreams()
    : savedIn_(std::cin.rdbuf(&in_)),
      savedOut_(std::cout.rdbuf(&out_)),
      savedErr_(std::cerr.rdbuf(&err_)),
      savedLog_(std::clog.rdbuf(&err_)) {}

ConsoleStreams::~ConsoleStreams() {
    std::cout.flush();
    std::clog.flush();
    std::cin.rdbuf(savedIn_);
    std::cout.rdbuf(savedOut_);
    std::cerr.rdbuf(savedErr_);
    std::clog.rdbuf(savedLog_);
}

}  // namespace vorta::app
