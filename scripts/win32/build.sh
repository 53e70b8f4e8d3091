#!/usr/bin/env bash
# Cross-builds the Windows tree with mingw-w64: scripts/win32/build.sh DIR [extra cmake options...]
# Then: cd DIR && ctest --parallel 2 (the tests run under Wine).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
dir=$1
shift
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  "$@" >/dev/null
cmake --build "$dir" --parallel 2
