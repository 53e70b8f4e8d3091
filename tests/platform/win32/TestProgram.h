#pragma once
// The test service program (TestService.cpp) and the marker file it writes.

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "platform/win32/WideText.h"

namespace vorta::platform::test {

// The build names it by its Unix path; Wine shows the Unix root as drive Z:.
inline std::string TestServiceProgram() {
    std::string path = VORTA_TEST_SERVICE_EXE;
    if (path.starts_with('/')) {
        for (char& c : path)
            if (c == '/') c = '\\';
        path = "Z:" + path;
    }
    return path;
}

// A file of the test's own in the temporary folder, with a blank in its name; removed after.
class Marker {
public:
    explicit Marker(const std::wstring& tag) {
        wchar_t dir[MAX_PATH + 1];
        GetTempPathW(MAX_PATH + 1, dir);
        path_ = std::wstring(dir) + L"vorta marker " + tag + L" " +
                std::to_wstring(GetCurrentProcessId()) + L".txt";
        DeleteFileW(path_.c_str());
    }
    ~Marker() { DeleteFileW(path_.c_str()); }
    std::string Path() const { return ToUtf8(path_); }
    const std::wstring& WidePath() const { return path_; }
    std::string Read() const {
        std::ifstream in(std::filesystem::path(path_), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // True once the file holds `text`.
    bool WaitFor(const std::string& text,
                 std::chrono::milliseconds limit = std::chrono::seconds(20)) const {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (Read() != text) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return true;
    }

private:
    std::wstring path_;
};

}  // namespace vorta::platform::test
