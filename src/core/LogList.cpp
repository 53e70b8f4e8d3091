#include "core/LogList.h"

#include <ctime>

#include "base/Translate.h"
#include "protocol/TextCodec.h"

namespace vorta {

void TLogList::AddLog(unsigned char kind, std::string text) {
    Add(TLogEntry{kind, std::move(text), std::chrono::system_clock::now()});
}

void TLogList::Add(TLogEntry entry) {
    while (entries_.size() >= kMaxEntries) entries_.pop_back();
    entries_.push_front(std::move(entry));
    ++added_;
}

std::string TLogList::SaveText() const {
    std::string out;
    for (const TLogEntry& e : entries_) {
        out += KindName(e.Kind);
        out += "      ";
        out += FormatTime(e.Time);
        out += "      ";
        out += TrimControl(e.Text);
        out += "\r\n";
    }
    return out;
}

const char* TLogList::KindName(unsigned char kind) {
    switch (kind) {
        case 0:
            return Tr("提示");
        case 1:
            return Tr("警告");
        case 2:
            return Tr("错误");
        default:
            return Tr("其他");
    }
}

std::string TLogList::FormatTime(std::chrono::system_clock::time_point time) {
    const std::time_t t = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    localtime_r(&t, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%y-%m-%d %H:%M:%S", &local);
    return buffer;
}

}  // namespace vorta
