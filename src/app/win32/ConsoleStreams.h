#pragma once
// std::cin, std::cout and std::cerr of the Windows program, which keeps its text in UTF-8: at a
// console they read and write UTF-16 (ReadConsoleW / WriteConsoleW), so that every character
// shows whatever the console's code page is; into a file or a pipe they write UTF-8 bytes with
// CR LF line ends, as the C runtime's text mode did; from one they read the bytes as they are.

#include <windows.h>

#include <iostream>
#include <mutex>
#include <streambuf>
#include <string>

namespace vorta::app {

// Text for one standard output stream, found on first use (see platform::OpenStandardStream).
class ConsoleOutputBuffer final : public std::streambuf {
public:
    explicit ConsoleOutputBuffer(DWORD which) : which_(which) {}
    ~ConsoleOutputBuffer() override;
    ConsoleOutputBuffer(const ConsoleOutputBuffer&) = delete;
    ConsoleOutputBuffer& operator=(const ConsoleOutputBuffer&) = delete;

protected:
    // No put area: every write comes here under the lock, as threads share std::cerr.
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

private:
    // Writes the pending text (at a console, whole characters only unless `all`); false when
    // the write failed.
    bool WriteOut(bool all);

    const DWORD which_;
    std::mutex mutex_;
    bool opened_ = false;
    HANDLE handle_ = nullptr;
    bool console_ = false;
    std::string pending_;
};

// Standard input as UTF-8 bytes.
class ConsoleInputBuffer final : public std::streambuf {
public:
    ConsoleInputBuffer() = default;
    ConsoleInputBuffer(const ConsoleInputBuffer&) = delete;
    ConsoleInputBuffer& operator=(const ConsoleInputBuffer&) = delete;

protected:
    int_type underflow() override;

private:
    bool opened_ = false;
    HANDLE handle_ = nullptr;
    bool console_ = false;
    bool ended_ = false;
    wchar_t highSurrogate_ = 0;  // the first half of a pair the last console read ended with
    std::string buffer_;
};

// Puts the buffers above under std::cin, std::cout, std::cerr and std::clog while it lives; its
// end writes out what is left and puts the originals back.
class ConsoleStreams {
public:
    ConsoleStreams();
    ~ConsoleStreams();
    ConsoleStreams(const ConsoleStreams&) = delete;
    ConsoleStreams& operator=(const ConsoleStreams&) = delete;

private:
    ConsoleInputBuffer in_;
    ConsoleOutputBuffer out_{STD_OUTPUT_HANDLE};
    ConsoleOutputBuffer err_{STD_ERROR_HANDLE};
    std::streambuf* savedIn_;
    std::streambuf* savedOut_;
    std::streambuf* savedErr_;
    std::streambuf* savedLog_;
};

}  // namespace vorta::app
