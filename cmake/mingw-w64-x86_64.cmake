# Cross-builds the Windows programs and tests with mingw-w64 (posix threads, for std::thread).
# Usage: scripts/win32/build.sh, or cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VORTA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VORTA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORTA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VORTA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VORTA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe: libgcc, libstdc++ and winpthread linked in, no mingw DLLs to ship.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Windows 10 APIs (SetThreadDescription, ...); the W entry points; no min/max macros; the C
# runtime's localtime_r.
set(CMAKE_CXX_FLAGS_INIT
    "-D_WIN32_WINNT=0x0A00 -DWINVER=0x0A00 -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_POSIX_THREAD_SAFE_FUNCTIONS")

# Builds the parts that need no Linux-only library and runs the tests under Wine.
set(VORTA_WINDOWS_CROSS ON CACHE BOOL "Cross build for Windows (mingw-w64, tests under Wine)")
