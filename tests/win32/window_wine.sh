#!/usr/bin/env bash
# vorta.exe's window under Wine on a virtual X display: a plain start with saved settings opens
# the main window titled "Vorta V1.0" in the same process and logs on (the status over the named
# pipe says so); a second plain start brings the hidden window up.
# Beside a client in service mode a plain start is that client's window. Without a display the
# same plain start runs headless and logs on.
#   window_wine.sh WIN_BUILD LINUX_BUILD SOURCE_ROOT
set -euo pipefail
build=$(cd "$1" && pwd)
linux_build=$2
root=$3
for tool in Xvfb xwininfo wine; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
done
if [[ ! -x $linux_build/tools/devservice/vorta-devservice ]]; then
  echo "skipped: no development service (configure with -DVORTA_LINUX_BUILD=a Linux build dir)"
  exit 77
fi
source "$root/scripts/win32/wine-env.sh"
work=$(mktemp -d)
xserver= client= service=
cleanup() {
  [[ -n $client ]] && kill "$client" 2>/dev/null || true
  # The prefix's server belongs to this run's display: it goes with it.
  [[ -n ${WINEPREFIX:-} ]] && wineserver -k 2>/dev/null || true
  kill "$xserver" "$service" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; echo "--- client log" >&2; cat "$work"/client*.log >&2 || true; exit 1; }
source "$root/tests/integration/devservice.sh"
start_devservice "$linux_build" "$work/service.log"

# The X server picks a free display and writes its number.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>"$work/xvfb.log" &
xserver=$!
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
[[ -s $work/display ]] || fail "Xvfb did not start"
display=:$(head -n 1 "$work/display")
# A prefix of its own: a Wine server keeps the display it started on.
wine_env_display "$build/wineprefix-x11" "$display"

program=$build/src/app/vorta.exe
data=$(winepath -w "$work/data" 2>/dev/null)
vorta() { wine "$program" --data-dir "$data" "$@" 2> >(wine_quiet) | tr -d '\r'; }
logged_on() {
  local json=
  for _ in $(seq 150); do
    json=$(vorta status --json 2>/dev/null || true)
    [[ $json == *'"loggedOn":true'* ]] && return 0
    sleep 0.2
  done
  fail "status --json: $json"
}
stop_client() {
  # A GUI program started without a console hears no console interrupt (the programs test stops
  # one cleanly at a console): this one is ended, and must be gone.
  kill "$client"
  for _ in $(seq 150); do kill -0 "$client" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$client" 2>/dev/null && fail "$1 did not end"
  wait "$client" 2>/dev/null || true
  client=
}

vorta config set UserName demo || fail "config set UserName"
printf 'demo123\n' | vorta config set UserPwd - || fail "config set UserPwd -"
vorta config set ServiceUrl "$url" || fail "config set ServiceUrl"
vorta config set AutoLogon 1 || fail "config set AutoLogon"

# No display: the plain start runs headless, as on Linux.
DISPLAY= wine "$program" --data-dir "$data" 2>"$work/client-headless.log" &
client=$!
await_text "$work/client-headless.log" '登陆成功！' 300
logged_on
xwininfo -root -tree | grep -qF '"Vorta V1.0"' && fail "a window without a display"
stop_client "the headless client"

# On the display: the window, in vorta.exe itself, logs on by itself and waits in the tray.
wine "$program" --data-dir "$data" 2>"$work/client.log" &
client=$!
logged_on
for _ in $(seq 100); do
  xwininfo -root -tree 2>/dev/null | grep -F '"Vorta V1.0"' | grep -qF '"vorta.exe"' && break
  sleep 0.1
done
xwininfo -root -tree | grep -F '"Vorta V1.0"' | grep -qF '"vorta.exe"' ||
  fail "no window titled Vorta V1.0 of vorta.exe: $(xwininfo -root -tree)"
# A second plain start asks the running client to show itself, and ends.
vorta >"$work/second.log" 2>&1 || fail "the second start failed: $(cat "$work/second.log")"
viewable=
for _ in $(seq 100); do
  if xwininfo -name "Vorta V1.0" 2>/dev/null | grep -q "Map State: IsViewable"; then
    viewable=1
    break
  fi
  sleep 0.1
done
[[ -n $viewable ]] || fail "the window did not come up: $(xwininfo -name 'Vorta V1.0' 2>&1)"
geometry=$(xwininfo -name "Vorta V1.0")
[[ $geometry == *"Width: 568"* && $geometry == *"Height: 335"* ]] || fail "window size: $geometry"
kill -0 "$client" || fail "the window's client ended"
stop_client "the window"
for _ in $(seq 100); do xwininfo -root -tree | grep -qF '"Vorta V1.0"' || break; sleep 0.1; done

# Beside a client in service mode, a plain start is that client's window; the client outlives it.
wine "$program" --data-dir "$data" --service 2>"$work/client-service.log" &
service_client=$!
json=
for _ in $(seq 150); do
  json=$(vorta status --json 2>/dev/null || true)
  [[ $json == '{"serviceMode":true,'* ]] && break
  sleep 0.2
done
[[ $json == '{"serviceMode":true,'* ]] || fail "the service-mode client: $json"
wine "$program" --data-dir "$data" 2>"$work/client-attached.log" &
client=$!
await_text "$work/client-attached.log" "attached to the client on" 300
for _ in $(seq 100); do
  xwininfo -name "Vorta V1.0" 2>/dev/null | grep -q "Map State: IsViewable" && break
  sleep 0.1
done
xwininfo -name "Vorta V1.0" 2>/dev/null | grep -q "Map State: IsViewable" ||
  fail "the attached window did not come up"
kill "$client"
wait "$client" 2>/dev/null || true
client=$service_client
[[ $(vorta status --json 2>/dev/null) == '{"serviceMode":true,'* ]] ||
  fail "the service-mode client ended with its window"
stop_client "the service-mode client"
echo "vorta.exe's window under Wine: passed"
