#!/usr/bin/env bash
# Installs what is needed, then builds and runs every test: in a normal build, under
# AddressSanitizer + UndefinedBehaviorSanitizer, and under ThreadSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
# fontconfig, under the window's tests, keeps caches for the life of the process.
export LSAN_OPTIONS=suppressions=$root/tests/ui/lsan.supp
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

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
run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DVORTA_SANITIZE=ON -DVORTA_TEST_HOOKS=ON
run_suite build-tsan -DCMAKE_BUILD_TYPE=Debug -DVORTA_TSAN=ON -DVORTA_TEST_HOOKS=ON
