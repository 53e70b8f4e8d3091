#!/usr/bin/env bash
# Installs what is needed, then builds and runs every test: in a normal build, in the Windows
# cross build under Wine, under AddressSanitizer + UndefinedBehaviorSanitizer, and under
# ThreadSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
# fontconfig, under the window's tests, keeps caches for the life of the process.
# The suppressions are read by every instrumented program, also by those the tests run as another
# user or with the home folders hidden: copies where all may read them.
supp=$(mktemp -d /tmp/vorta-suppressions.XXXXXX)
trap 'rm -rf "$supp"' EXIT
cp tests/ui/lsan.supp tests/tsan.supp "$supp/"
chmod 755 "$supp" && chmod 644 "$supp"/*.supp
export LSAN_OPTIONS=suppressions=$supp/lsan.supp
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# cpp-httplib's workers race among themselves inside the library: the development service only.
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$supp/tsan.supp

run_suite() {
  local dir=$1
  shift
  echo "== building $dir"
  scripts/build.sh "$dir" "$@"
  echo "== testing $dir"
  (cd "$dir" && ctest --output-on-failure --parallel "$(nproc)" --timeout 300)
}

# The lab and service tests redirect programs and paths through VORTA_* settings as root.
run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORTA_TEST_HOOKS=ON
# mingw-w64 builds it; the end-to-end test there talks to the first build's development service.
echo "== building build-win32"
scripts/win32/build.sh build-win32 -DVORTA_LINUX_BUILD="$root/build"
echo "== testing build-win32 under Wine"
(cd build-win32 && ctest --output-on-failure --parallel "$(nproc)" --timeout 300)
run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DVORTA_SANITIZE=ON -DVORTA_TEST_HOOKS=ON
run_suite build-tsan -DCMAKE_BUILD_TYPE=Debug -DVORTA_TSAN=ON -DVORTA_TEST_HOOKS=ON
