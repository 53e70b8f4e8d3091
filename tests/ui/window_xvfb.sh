#!/usr/bin/env bash
# On a real X display (Xvfb): with a client in service mode running, a plain `vorta` opens the
# main window titled "Vorta V1.0" as the face of that client, and the client outlives the window.
set -euo pipefail
build=$1
for tool in Xvfb xwininfo; do
  command -v "$tool" >/dev/null || { echo "test skipped: $tool is missing"; exit 77; }
done
work=$(mktemp -d)
xserver= client= window=
cleanup() {
  kill "$window" "$client" "$xserver" "${service:-}" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; cat "$work"/*.log >&2 2>/dev/null || true; exit 1; }
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
source "$(dirname "$0")/../integration/devservice.sh"
start_devservice "$build" "$work/devservice.log"

# The X server picks a free display and writes its number.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>"$work/xvfb.log" &
xserver=$!
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
[[ -s $work/display ]] || fail "Xvfb did not start"
export DISPLAY=:$(head -n 1 "$work/display")

vorta=("$build/src/app/vorta" --data-dir "$work/svc")
"${vorta[@]}" config set UserName demo >/dev/null
printf 'demo123\n' | "${vorta[@]}" config set UserPwd - >/dev/null
"${vorta[@]}" --service --service-url "$url" 2>"$work/service.log" &
client=$!
for _ in $(seq 100); do "${vorta[@]}" status >/dev/null 2>&1 && break; sleep 0.1; done
"${vorta[@]}" status | grep -q "mode: service" || fail "the service-mode client does not run"

# A plain start on the desktop: the window, as the face of the running client.
"${vorta[@]}" 2>"$work/window.log" &
window=$!
await_text "$work/window.log" "attached to the client on $work/svc"
for _ in $(seq 100); do
  xwininfo -root -tree 2>/dev/null | grep -qF '"Vorta V1.0"' && break
  sleep 0.1
done
xwininfo -root -tree | grep -qF '"Vorta V1.0"' || fail "no window titled Vorta V1.0: $(xwininfo -root -tree)"
[[ $(readlink "/proc/$window/exe") == */vorta-window ]] || fail "vorta did not hand over to the window"

# The window goes; the client it showed stays.
kill -TERM "$window"
wait "$window" 2>/dev/null || true
window=
kill -0 "$client" || fail "the service ended with its window"
"${vorta[@]}" status | grep -q "mode: service" || fail "the service does not answer after the window"
echo PASS
