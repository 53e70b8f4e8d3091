#pragma once
#include "platform/win32/Guard.h"
// What Windows has in place of mode 0600/0700: an access list of the owner's own.

#include <windows.h>

#include <memory>

namespace vorta::platform {

struct LocalFreer {
    void operator()(void* p) const { LocalFree(p); }
};
using UniqueSecurityDescriptor = std::unique_ptr<void, LocalFreer>;

// True when this process runs as the local system account (the service's).
bool RunningAsLocalSystem();

// Full access for this process's user, the administrators and the local system account, and
// for no one else; nothing inherited from the parent. Null when it cannot be made.
UniqueSecurityDescriptor PrivateSecurityDescriptor();

// The local group whose members may reach the service, as on Linux; the installer makes it.
inline constexpr const wchar_t* kServiceGroup = L"vorta";

// The service's channel: the local system account and the administrators in full, and the
// members of kServiceGroup (where it exists) to connect, but not to make pipe instances of
// their own.
UniqueSecurityDescriptor ServiceChannelSecurityDescriptor();

// Gives the open file or folder `handle` that access list; false with GetLastError set.
bool MakePrivate(HANDLE handle);

}  // namespace vorta::platform
