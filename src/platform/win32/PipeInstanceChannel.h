#pragma once
#include "platform/win32/Guard.h"
// Single instance per data dir: a named mutex in the Global namespace marks the running client
// (see InstanceMutex), and a named pipe of the same name carries requests to it, from any
// session. The pipe admits its owner, the administrators and SYSTEM, and for the service the
// members of the local group vorta; anyone else is denied. An asker sends nothing to a pipe whose
// server is not the client (see PipeServerCheck).

#include <windows.h>

#include <filesystem>
#include <memory>
#include <thread>

#include "platform/InstanceChannel.h"
#include "platform/win32/InstanceMutex.h"
#include "platform/win32/PrivateAccess.h"
#include "platform/win32/UniqueHandle.h"

namespace vorta::platform {

class PipeInstanceChannel : public IInstanceChannel {
public:
    explicit PipeInstanceChannel(std::filesystem::path dataDir);
    ~PipeInstanceChannel() override;
    PipeInstanceChannel(const PipeInstanceChannel&) = delete;
    PipeInstanceChannel& operator=(const PipeInstanceChannel&) = delete;

    using IInstanceChannel::Claim;
    bool Claim(Handler handler) override;
    ChannelReply Request(const std::string& request, std::chrono::milliseconds timeout) override;
    ChannelReply::Outcome Watch(const std::string& request,
                                const std::function<bool(std::string_view line)>& onLine,
                                std::stop_token stop) override;
    bool Lock() override;
    void StopServing() override;

    // "\\.\pipe\" and the data dir's InstanceId.
    std::wstring PipeName() const;

private:
    // Creates the data dir and takes its mutex; empty when another instance holds it (or this
    // object already does).
    std::unique_ptr<InstanceMutex> TakeMutex();
    UniqueHandle NewInstance(bool first) const;
    void Serve(std::stop_token stop, UniqueHandle listening, const Handler& handler);

    std::filesystem::path dir_;
    std::wstring pipeName_;
    UniqueSecurityDescriptor security_;
    std::unique_ptr<InstanceMutex> mutex_;
    UniqueHandle stopEvent_;
    std::jthread server_;
};

}  // namespace vorta::platform
