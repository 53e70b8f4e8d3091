#!/usr/bin/env bash
# fuzz.sh [TARGET|all] [SECONDS]: builds the libFuzzer targets with clang in build-fuzz and runs
# the one named (default: each in turn) for SECONDS (default 60) from its seed corpus.
# New inputs go to build-fuzz/fuzz/found/TARGET, never into the seed corpus; a crash, leak,
# sanitizer report or violated property leaves build-fuzz/fuzz/crash-* (or leak-*, timeout-*)
# and makes the script exit non-zero. Each run's log is build-fuzz/fuzz/TARGET.log.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

all=(fuzz_xml_answers fuzz_portal_page fuzz_lines_file fuzz_heartbeat fuzz_url)
target=${1:-all}
seconds=${2:-60}
if [[ $target == all ]]; then
  targets=("${all[@]}")
elif [[ " ${all[*]} " == *" $target "* ]]; then
  targets=("$target")
else
  echo "usage: $0 [TARGET|all] [SECONDS]; the targets: ${all[*]}" >&2
  exit 2
fi
[[ $seconds =~ ^[1-9][0-9]*$ ]] || { echo "SECONDS must be a positive number" >&2; exit 2; }

scripts/install-deps.sh
if ! command -v clang++ >/dev/null || ! dpkg-query -W -f='${Status}' libclang-rt-dev 2>/dev/null |
  grep -q 'install ok installed'; then
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends clang libclang-rt-dev >/dev/null
fi

build=build-fuzz
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DVORTA_FUZZ=ON -DVORTA_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
out="$root/$build/fuzz"
failed=()
for t in "${targets[@]}"; do
  found="$out/found/$t"
  mkdir -p "$found"
  args=(-max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$out/")
  [[ -f fuzz/dict/$t.dict ]] && args+=(-dict="fuzz/dict/$t.dict")
  echo "== $t for ${seconds} s"
  if "$out/$t" "${args[@]}" "$found" "fuzz/corpus/$t" >"$out/$t.log" 2>&1; then
    grep -E '^#[0-9]+[[:space:]]+DONE' "$out/$t.log" | tail -n 1 || true
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' \
      "$out/$t.log" | tr '\n' ' '
    echo
  else
    failed+=("$t")
    echo "$t FAILED; the report:"
    grep -E -A 40 '^(==[0-9]+==ERROR|.*runtime error|.*property violated|.*deadly signal)' \
      "$out/$t.log" | head -n 60 || tail -n 40 "$out/$t.log"
    ls -1 "$out"/crash-* "$out"/leak-* "$out"/timeout-* "$out"/oom-* 2>/dev/null || true
  fi
done
if ((${#failed[@]})); then
  echo "failed: ${failed[*]}" >&2
  exit 1
fi
echo "no findings"
