#pragma once
// Texts that name the system the client runs on: Windows' own words there; on Linux words that
// fit it (an autostart at login, a system service, memory that is not "Windows'"), which the
// catalogs translate where they are shown.

#include "base/Translate.h"

namespace vorta::texts {

#ifdef _WIN32
inline constexpr const char* kMemoryLead = "Windows可用的物理内存：";
inline constexpr const char* kServiceLoaded = "加载为WindowNT 服务！";
inline constexpr const char* kServiceUnloaded = "卸载WindowNT 服务！";
inline constexpr const char* kStartupBox = "Windows启动时运行Vorta客户端";
inline constexpr const char* kServiceBox = "以Windows服务方式运行";
inline constexpr const char* kServiceBoxTip = "系统将作为WindowNT Service运行";
#else
inline constexpr const char* kMemoryLead = TrMark("可用的物理内存：");
inline constexpr const char* kServiceLoaded = TrMark("加载为系统服务！");
inline constexpr const char* kServiceUnloaded = TrMark("卸载系统服务！");
inline constexpr const char* kStartupBox = TrMark("登录时运行Vorta客户端");
inline constexpr const char* kServiceBox = TrMark("以系统服务方式运行");
inline constexpr const char* kServiceBoxTip = TrMark("系统将作为系统服务运行");
#endif

}  // namespace vorta::texts
