#include "protocol/DebugLog.h"

#include <memory>
#include <mutex>

namespace vorta {
namespace {

std::mutex sinkLock;
std::shared_ptr<const std::function<void(const std::string&)>> debugSink;

}  // namespace

void SetDebugSink(std::function<void(const std::string& text)> sink) {
    std::lock_guard guard(sinkLock);
    debugSink =
        sink ? std::make_shared<const std::function<void(const std::string&)>>(std::move(sink))
             : nullptr;
}

bool DebugEnabled() {
    std::lock_guard guard(sinkLock);
    return debugSink != nullptr;
}

void Debug(const std::string& text) {
    std::shared_ptr<const std::function<void(const std::string&)>> sink;
    {
        std::lock_guard guard(sinkLock);
        sink = debugSink;
    }
    if (sink) (*sink)(text);
}

}  // namespace vorta
