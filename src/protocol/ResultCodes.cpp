#include "protocol/ResultCodes.h"

#include <charconv>
#include <cstdint>
#include <mutex>

#include "base/Translate.h"

namespace vorta {
namespace {

// Written by whichever thread's exchange failed last, read by the window; the lock only keeps
// code and text consistent with each other.
struct LastError {
    std::mutex lock;
    int code = 0;
    std::string text;
};

LastError& TheLastError() {
    static LastError lastError;
    return lastError;
}

}  // namespace

int ResultCodeToInt(std::string_view text, int defaultValue) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') return defaultValue;
    }
    if (text.empty()) return defaultValue;
    std::int32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return defaultValue;
    return value;
}

void RecordServiceError(int code, std::string text) {
    LastError& last = TheLastError();
    std::lock_guard guard(last.lock);
    last.code = code;
    last.text = std::move(text);
}

void RecordServiceError(int code) {
    switch (code) {
        case kResultExchangeFailed:
            RecordServiceError(code, Tr("连接服务器异常！"));
            break;
        case kResultNotRegistered:
            RecordServiceError(code, Tr("用户尚未注册！"));
            break;
        case kResultWrongPassword:
            RecordServiceError(code, Tr("密码错误！"));
            break;
        default:
            RecordServiceError(code, Tr("服务器返回：未知错误"));
            break;
    }
}

void ResultCodeText(int code, std::string& text) {
    switch (code) {
        case kResultNotRegistered:
            text = Tr("用户尚未注册！");
            break;
        case kResultWrongPassword:
            text = Tr("密码错误！");
            break;
        default:
            text = Tr("服务器返回：未知错误");
            break;
    }
}

int LastErrorCode() {
    LastError& last = TheLastError();
    std::lock_guard guard(last.lock);
    return last.code;
}

std::string LastErrorText() {
    LastError& last = TheLastError();
    std::lock_guard guard(last.lock);
    return last.text;
}

}  // namespace vorta
