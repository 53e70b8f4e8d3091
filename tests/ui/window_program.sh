#!/usr/bin/env bash
# The window end to end on the offscreen platform: a plain `vorta` on a desktop hands over to
# vorta-window, which logs on by itself with saved credentials; a second start hands over to it,
# SIGTERM ends it, and beside a client in service mode it becomes that client's face, which
# outlives it.
set -euo pipefail
build=$1
work=$(mktemp -d)
window= headless= told=
cleanup() {
  kill "$window" "$headless" "$told" "${service:-}" "${follow:-}" "${notices:-}" "${bus:-}" \
    2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; cat "$work/window.log" >&2 || true; exit 1; }
export QT_QPA_PLATFORM=offscreen HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work
source "$(dirname "$0")/../integration/devservice.sh"
start_devservice "$build" "$work/service.log"

vorta=("$build/src/app/vorta" --data-dir "$work/data")
"${vorta[@]}" config set UserName demo
printf 'demo123\n' | "${vorta[@]}" config set UserPwd -
"${vorta[@]}" config set AutoLogon 1
# The desktop: any display name will do for the offscreen platform.
WAYLAND_DISPLAY=vorta-test "${vorta[@]}" --service-url "$url" 2>"$work/window.log" &
window=$!
for _ in $(seq 150); do
  "${vorta[@]}" status 2>/dev/null | grep -q "logged on as demo" && break
  sleep 0.1
done
"${vorta[@]}" status | grep -q "mode: desktop" || fail "the window's client is not running"
[[ $(readlink "/proc/$window/exe") == */vorta-window ]] || fail "vorta did not hand over to the window"
"${vorta[@]}" status | grep -q "logged on as demo" || fail "the window did not log on"

timeout 20 "$build/src/app/vorta-window" --data-dir "$work/data" 2>"$work/second.log" ||
  fail "the second start did not hand over: $(cat "$work/second.log")"
kill -0 "$window" || fail "the first window ended"
kill -TERM "$window"
timeout 20 tail --pid="$window" -f /dev/null || fail "SIGTERM did not end the window"
wait "$window" || fail "the window ended with $?"
window=

# A client in service mode holds another data dir: the window attaches to it and starts nothing.
"$build/src/app/vorta" --data-dir "$work/svc" --service --service-url "$url" 2>"$work/headless.log" &
headless=$!
for _ in $(seq 100); do
  "$build/src/app/vorta" --data-dir "$work/svc" status >/dev/null 2>&1 && break
  sleep 0.1
done
"$build/src/app/vorta-window" --data-dir "$work/svc" 2>"$work/window.log" &
window=$!
await_text "$work/window.log" "attached to the client on $work/svc"
"$build/src/app/vorta" --data-dir "$work/svc" status | grep -q "mode: service" ||
  fail "the service's client was disturbed"
# Its log follows what the client does, as the window's log page does.
"$build/src/app/vorta" --data-dir "$work/svc" log --follow >"$work/follow.log" 2>&1 &
follow=$!
"$build/src/app/vorta" --data-dir "$work/svc" logon >/dev/null 2>&1 || true
await_text "$work/follow.log" "请先输入用户名和密码！"
kill "$follow"
# The service outlives its window; the window outlives a restart of the service.
kill "$headless"
wait "$headless" 2>/dev/null || true
await_text "$work/window.log" "no client answers on $work/svc"
"$build/src/app/vorta" --data-dir "$work/svc" --service --service-url "$url" 2>"$work/headless.log" &
headless=$!
for _ in $(seq 100); do
  [[ $(grep -c "attached to the client" "$work/window.log") -ge 2 ]] && break
  sleep 0.1
done
[[ $(grep -c "attached to the client" "$work/window.log") -ge 2 ]] ||
  fail "the window did not attach again after the service restarted"
kill -TERM "$window"
wait "$window" 2>/dev/null || true
window=
"$build/src/app/vorta" --data-dir "$work/svc" status | grep -q "mode: service" ||
  fail "the service ended with its window"

# The system service runs on a data dir of its own: a window start on this one attaches there.
mkdir -p "$work/units" "$work/systemctl"
printf '[Service]\nExecStart=/usr/bin/vorta --service\n' >"$work/units/VortaService.service"
echo "active running" >"$work/systemctl/states"
VORTA_SYSTEMCTL=$(dirname "$0")/../fakes/fake-systemctl FAKE_SYSTEMCTL_DIR=$work/systemctl \
  VORTA_SYSTEMD_UNIT_DIR=$work/units "$build/src/app/vorta-window" --data-dir "$work/desk" \
  2>"$work/told.log" &
told=$!
await_text "$work/told.log" "no client answers on"
status=0
"$build/src/app/vorta" --data-dir "$work/desk" status >/dev/null 2>&1 || status=$?
[[ $status == 3 ]] || fail "a client started beside the system service (status exit $status)"
# Where the window cannot place its sliding notification (Wayland), the desktop's notification
# service shows it, in the user's language: here English, on a session bus of the test's own.
dbus-daemon --session --nofork --print-address=3 3>"$work/bus" &
bus=$!
for _ in $(seq 100); do [[ -s $work/bus ]] && break; sleep 0.05; done
DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/bus") || fail "no session bus"
export DBUS_SESSION_BUS_ADDRESS
"$build/tests/ui/fake_notifications" >"$work/notices" 2>&1 &
notices=$!
await_text "$work/notices" ready
LANGUAGE=en VORTA_DESKTOP_NOTICES=1 "$build/src/app/vorta-window" --data-dir "$work/data" \
  --service-url "$url" 2>"$work/window.log" &
window=$!
await_text "$work/notices" "Message|Logged on!"
kill -TERM "$window"
wait "$window" 2>/dev/null || true
window=
echo PASS
