#pragma once
// Included first by every header of this folder: only the platform layer, the host and the
// programs (and the tests) may see the Windows implementation; the core sees the interfaces.
#ifndef VORTA_PLATFORM_IMPL
#error "platform/win32 is for the host and the programs; include the interface from platform/"
#endif
