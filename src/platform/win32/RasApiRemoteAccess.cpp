#include "platform/win32/RasApiRemoteAccess.h"

#include <algorithm>
#include <cstddef>
#include <stdexcept>

#include "platform/win32/RasRecords.h"
#include "platform/win32/SystemErrorText.h"
#include "platform/win32/WideText.h"

namespace vorta::platform {
namespace {

// Storage for a run of records, aligned for each of them.
using RecordBuffer = std::vector<std::uint64_t>;

// Calls `call(data, &bytes, &count)` with records of `size` bytes until the buffer holds them
// all, growing it as asked, and again while the list grows between calls.
template <typename Call>
DWORD FetchRecords(DWORD size, RecordBuffer& buffer, DWORD& count, Call call) {
    DWORD bytes = size * 8;
    DWORD rc = ERROR_BUFFER_TOO_SMALL;
    for (int attempt = 0; attempt < 8 && rc == ERROR_BUFFER_TOO_SMALL; ++attempt) {
        buffer.assign(bytes / sizeof(std::uint64_t) + 1, 0);
        *reinterpret_cast<DWORD*>(buffer.data()) = size;  // RAS reads the first record's size
        DWORD room = bytes;
        count = 0;
        rc = call(buffer.data(), &room, &count);
        bytes = std::max(room + size * 4, bytes * 2);
    }
    if (rc != 0) count = 0;
    return rc;
}

template <typename Record>
const Record& RecordAt(const RecordBuffer& buffer, DWORD size, DWORD i) {
    return *reinterpret_cast<const Record*>(reinterpret_cast<const std::byte*>(buffer.data()) +
                                            std::size_t{size} * i);
}

}  // namespace

RasApiRemoteAccess::RasApiRemoteAccess(std::wstring library) : library_(std::move(library)) {}

void RasApiRemoteAccess::Load() {
    const std::string name = ToUtf8(library_);
    module_ = LoadSystemLibrary(library_.c_str());
    if (!module_) {
        const DWORD error = GetLastError();
        unavailable_ = "dial-up is not available: " + name + " cannot be loaded (" +
                       SystemErrorText(error) + ")";
        return;
    }
    HMODULE m = module_.get();
    const auto need = [&](auto& entry, const char* symbol) {
        entry = EntryPoint<std::remove_reference_t<decltype(entry)>>(m, symbol);
        if (!entry && unavailable_.empty())
            unavailable_ = "dial-up is not available: " + name + " has no " + symbol;
    };
    need(api_.enumEntries, "RasEnumEntriesW");
    need(api_.entryDialParams, "RasGetEntryDialParamsW");
    need(api_.dial, "RasDialW");
    need(api_.hangUp, "RasHangUpW");
    need(api_.enumConnections, "RasEnumConnectionsW");
    need(api_.connectStatus, "RasGetConnectStatusW");
    need(api_.projection, "RasGetProjectionInfoW");
    need(api_.errorString, "RasGetErrorStringW");
    api_.statistics = EntryPoint<decltype(api_.statistics)>(m, "RasGetConnectionStatistics");
    if (!unavailable_.empty()) {
        api_ = {};
        module_.reset();
    }
}

const RasApiRemoteAccess::Api* RasApiRemoteAccess::TryRas() {
    std::call_once(loadOnce_, [this] { Load(); });
    return unavailable_.empty() ? &api_ : nullptr;
}

const RasApiRemoteAccess::Api& RasApiRemoteAccess::Ras() {
    if (const Api* api = TryRas()) return *api;
    throw std::runtime_error(unavailable_);
}

int RasApiRemoteAccess::EnumEntries(std::vector<std::string>& entries) {
    const Api& ras = Ras();
    entries.clear();
    RecordBuffer buffer;
    DWORD count = 0, size = 0;
    const DWORD rc = WithRecordSizes(kEntryNameSizes, [&](DWORD tried) {
        size = tried;
        return FetchRecords(size, buffer, count, [&](void* data, DWORD* bytes, DWORD* n) {
            return ras.enumEntries(nullptr, nullptr, static_cast<RASENTRYNAMEW*>(data), bytes, n);
        });
    });
    if (rc != 0) return static_cast<int>(rc);
    for (DWORD i = 0; i < count; ++i)
        entries.push_back(ToUtf8(FieldText(RecordAt<RASENTRYNAMEW>(buffer, size, i).szEntryName)));
    return 0;
}

int RasApiRemoteAccess::GetEntryDialParams(RasDialParams& params) {
    const Api& ras = Ras();
    RASDIALPARAMSW record{};
    if (!CopyInto(record.szEntryName, ToWide(params.entryName))) return kRasEntryNotFound;
    BOOL hasPassword = FALSE;
    const DWORD rc = WithRecordSizes(kDialParamsSizes, [&](DWORD size) {
        record.dwSize = size;
        return ras.entryDialParams(nullptr, &record, &hasPassword);
    });
    // A stub that knows no phone book answers success for any name.
    std::vector<std::string> entries;
    if (rc == 0 && EnumEntries(entries) == 0 &&
        std::find(entries.begin(), entries.end(), params.entryName) == entries.end()) {
        SecureZeroMemory(record.szPassword, sizeof record.szPassword);
        return kRasEntryNotFound;
    }
    if (rc == 0) {
        params.userName = ToUtf8(FieldText(record.szUserName));
        if (hasPassword) params.password = ToUtf8(FieldText(record.szPassword));
    }
    SecureZeroMemory(record.szPassword, sizeof record.szPassword);
    return static_cast<int>(rc);
}

int RasApiRemoteAccess::GetConnectStatus(RasHandle handle, int& state) {
    const Api* ras = TryRas();
    if (!ras || handle == 0) return kRasInvalidHandle;
    RASCONNSTATUSW status{};
    status.dwSize = sizeof status;
    const DWORD rc = ras->connectStatus(ToConnection(handle), &status);
    if (rc == 0) state = static_cast<int>(status.rasconnstate);
    return static_cast<int>(rc);
}

int RasApiRemoteAccess::EnumConnections(std::vector<RasConnection>& connections) {
    const Api& ras = Ras();
    connections.clear();
    RecordBuffer buffer;
    DWORD count = 0, size = 0;
    const DWORD rc = WithRecordSizes(kConnectionSizes, [&](DWORD tried) {
        size = tried;
        return FetchRecords(size, buffer, count, [&](void* data, DWORD* bytes, DWORD* n) {
            return ras.enumConnections(static_cast<RASCONNW*>(data), bytes, n);
        });
    });
    if (rc != 0) return static_cast<int>(rc);
    for (DWORD i = 0; i < count; ++i) {
        const auto& record = RecordAt<RASCONNW>(buffer, size, i);
        connections.push_back({ToHandle(record.hrasconn), ToUtf8(FieldText(record.szEntryName))});
    }
    return 0;
}

int RasApiRemoteAccess::GetProjection(RasHandle handle, std::string& clientIp,
                                      std::string& serverIp) {
    const Api* ras = TryRas();
    if (!ras || handle == 0) return kRasInvalidHandle;
    RASPPPIPW ip{};
    const DWORD rc = WithRecordSizes(kPppIpSizes, [&](DWORD size) {
        ip.dwSize = size;
        DWORD bytes = size;
        return ras->projection(ToConnection(handle), RASP_PppIp, &ip, &bytes);
    });
    if (rc != 0) return static_cast<int>(rc);
    if (ip.dwError != 0) return static_cast<int>(ip.dwError);
    clientIp = ToUtf8(FieldText(ip.szIpAddress));
    serverIp = ToUtf8(FieldText(ip.szServerIpAddress));
    return 0;
}

std::string RasApiRemoteAccess::ErrorText(int code) {
    if (const Api* ras = TryRas()) {
        wchar_t text[512] = {};
        if (ras->errorString(static_cast<UINT>(code), text, 512) == 0 && text[0] != L'\0')
            return ToUtf8(FieldText(text));
    }
    switch (code) {
        case kRasInvalidHandle:
            return "The connection does not exist.";
        case kRasEntryNotFound:
            return "The dial-up entry is not in the phone book.";
        case kRasDialStopped:
            return "The dial was stopped.";
        default:
            break;
    }
    // Codes outside the RAS range (and every code where RAS has no texts) have the system's.
    const std::string system = SystemErrorText(static_cast<std::uint32_t>(code));
    if (system != "error " + std::to_string(code)) return system;
    return "Dial-up error " + std::to_string(code) + ".";
}

bool RasApiRemoteAccess::ReadCounters(RasHandle handle, RasCounters& counters) {
    const Api* ras = TryRas();
    if (!ras || !ras->statistics || handle == 0) return false;
    RAS_STATS stats{};
    stats.dwSize = sizeof stats;
    if (ras->statistics(ToConnection(handle), &stats) != 0) return false;
    counters.bytesSent = stats.dwBytesXmited;
    counters.bytesReceived = stats.dwBytesRcved;
    counters.speed = stats.dwBps;
    return true;
}

}  // namespace vorta::platform
