#!/usr/bin/env bash
# Renders the Windows window's pages and dialogs to docs/screenshots/windows/*.png: vorta.exe
# under Wine on a virtual X display, logged on to the development service, captured by
# vorta_window_shots.exe.
#   scripts/win32/screenshots.sh WIN_BUILD LINUX_BUILD
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
linux_build=$(cd "$2" && pwd)
shots=$build/tests/win32/vorta_window_shots.exe
for need in "$build/src/app/vorta.exe" "$shots" "$linux_build/tools/devservice/vorta-devservice"; do
  [[ -e $need ]] || { echo "no $need: build it first" >&2; exit 2; }
done
source "$root/scripts/win32/wine-env.sh"
out=$root/docs/screenshots/windows
mkdir -p "$out"
work=$(mktemp -d)
xserver= client= service=
cleanup() {
  [[ -n $client ]] && kill "$client" 2>/dev/null || true
  [[ -n ${WINEPREFIX:-} ]] && wineserver -k 2>/dev/null || true
  kill "$xserver" "$service" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "screenshots: $*" >&2; exit 1; }
source "$root/tests/integration/devservice.sh"
start_devservice "$linux_build" "$work/service.log"
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>/dev/null &
xserver=$!
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
wine_env_display "$build/wineprefix-x11" ":$(head -n 1 "$work/display")"

data=$(winepath -w "$work/data" 2>/dev/null)
vorta() { wine "$build/src/app/vorta.exe" --data-dir "$data" "$@" >/dev/null 2> >(wine_quiet); }
vorta config set UserName demo
printf 'demo123\n' | vorta config set UserPwd -
vorta config set ServiceUrl "$url"
vorta config set AutoLogon 1
vorta lines add --kind lan --entry eth0
wine "$build/src/app/vorta.exe" --data-dir "$data" 2>"$work/client.log" &
client=$!
mkdir -p "$work/bmp"
wine "$shots" "$(winepath -w "$work/bmp")" 2> >(wine_quiet) || fail "the capture failed"
for bmp in "$work"/bmp/*.bmp; do
  python3 "$root/scripts/win32/bmp2png.py" "$bmp" "$out/$(basename "${bmp%.bmp}").png"
done
ls "$out"
