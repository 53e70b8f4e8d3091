#!/usr/bin/env bash
# The demo. As root where network namespaces can be made: the two-line lab (scripts/lab/lab.sh),
# a headless client whose two lines each report through their own gateway, shown live until
# Ctrl-C. Elsewhere: the development service on loopback and a headless client logged on to it.
# Extra arguments go to the client. VORTA_DEMO_SECONDS=N ends either demo after N seconds;
# VORTA_BUILD_DIR names the build tree (default build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${VORTA_BUILD_DIR:-build}
scripts/install-deps.sh

lab_possible() {
  [[ $(id -u) == 0 ]] || return 1
  local probe=vorta-probe-$$
  ip netns add "$probe" 2>/dev/null || return 1
  ip netns del "$probe"
}
lab=0
if lab_possible; then
  lab=1
elif [[ $(id -u) != 0 ]]; then
  echo "The two-line lab demo needs root (sudo $0) to make network namespaces; showing the loopback demo instead."
else
  echo "The two-line lab demo needs network namespaces (ip netns), which are not available here; showing the loopback demo instead."
fi

echo "building vorta and vorta-devservice in $build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if ! log=$(cmake --build "$build" --target vorta vorta-devservice 2>&1); then
  echo "$log" >&2
  exit 1
fi

if ((lab)); then
  exec scripts/lab/lab.sh run "demo$$" scripts/lab/lab-demo.sh "$build" "$@"
fi
exec scripts/demo.sh "$build" "$@"
