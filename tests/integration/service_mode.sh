#!/usr/bin/env bash
# The program as a system service: its own -install/-uninstall run against a fake systemctl and
# a unit dir of the test's own, the account rule that selects service mode, and a service-mode
# run that tells systemd it is ready, alive and stopping, logs with journald priorities and ends
# cleanly on SIGTERM.
set -euo pipefail
build=$1
fakes=$2
work=$(mktemp -d)
client=
cleanup() {
  [[ -n $client ]] && kill "$client" 2>/dev/null || true
  [[ -n ${listener:-} ]] && kill "$listener" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; cat "$work"/*.log >&2 2>/dev/null || true; exit 1; }

export VORTA_SYSTEMCTL=$fakes/fake-systemctl FAKE_SYSTEMCTL_DIR=$work/fake
export VORTA_SYSTEMD_UNIT_DIR=$work/units
mkdir -p "$FAKE_SYSTEMCTL_DIR" "$VORTA_SYSTEMD_UNIT_DIR"
program=$build/src/app/vorta
data=$work/data
unit=$VORTA_SYSTEMD_UNIT_DIR/VortaService.service

# Install, silently: the unit runs this program in service mode on this data dir.
out=$("$program" --data-dir "$data" /INSTALL -Silent) || fail "the install run failed"
[[ -z $out ]] || fail "a silent install printed: $out"
grep -qx "ExecStart=$(realpath "$program") --service --data-dir $data" "$unit" || fail "unit: $(cat "$unit")"
grep -qx 'Description=Vorta V1.0 Service' "$unit" || fail "unit description"
grep -qx 'RestartPreventExitStatus=78' "$unit" || fail "a refused start would be restarted"
"$program" --data-dir "$data" config set AutoRunAsOSStart 1 2>/dev/null &&
  fail "the autostart was switched on beside the service"
[[ $(cat "$FAKE_SYSTEMCTL_DIR/calls") == $'daemon-reload\nenable VortaService.service' ]] ||
  fail "systemctl calls: $(cat "$FAKE_SYSTEMCTL_DIR/calls")"

# Uninstall, not silent: says so; a second uninstall fails with the message and a reason.
: >"$FAKE_SYSTEMCTL_DIR/calls"
out=$("$program" --data-dir "$data" '\uninstall') || fail "the uninstall run failed"
[[ $out == "卸载Vorta服务成功" ]] || fail "uninstall said: $out"
[[ ! -e $unit ]] || fail "the unit is still there"
[[ $(cat "$FAKE_SYSTEMCTL_DIR/calls") == $'disable VortaService.service\ndaemon-reload' ]] ||
  fail "systemctl calls: $(cat "$FAKE_SYSTEMCTL_DIR/calls")"
if "$program" --data-dir "$data" -uninstall -silent 2>"$work/err.log"; then fail "a second uninstall succeeded"; fi
grep -q '卸载Vorta服务失败: VortaService is not installed' "$work/err.log" || fail "no reason given"

# With --now (the window's service box) the install starts the service and the uninstall stops
# it first; a start that fails fails the run, with the reason.
: >"$FAKE_SYSTEMCTL_DIR/calls"
"$program" --data-dir "$data" -install -silent --now || fail "the install run with --now failed"
[[ $(cat "$FAKE_SYSTEMCTL_DIR/calls") == $'daemon-reload\nenable VortaService.service\nstart VortaService.service' ]] ||
  fail "systemctl calls: $(cat "$FAKE_SYSTEMCTL_DIR/calls")"
: >"$FAKE_SYSTEMCTL_DIR/calls"
printf 'active running\nactive running\ninactive dead\n' >"$FAKE_SYSTEMCTL_DIR/states"
"$program" --data-dir "$data" -uninstall -silent --now || fail "the uninstall run with --now failed"
grep -v '^show' "$FAKE_SYSTEMCTL_DIR/calls" >"$work/calls"
[[ $(cat "$work/calls") == $'stop --no-block VortaService.service\ndisable VortaService.service\ndaemon-reload' ]] ||
  fail "systemctl calls: $(cat "$FAKE_SYSTEMCTL_DIR/calls")"
rm "$FAKE_SYSTEMCTL_DIR/states"
echo 5 >"$FAKE_SYSTEMCTL_DIR/exit-start"
if "$program" --data-dir "$data" -install -silent --now 2>"$work/err.log"; then fail "a failed start was a success"; fi
grep -q '安装Vorta服务失败: it is installed but did not start: systemctl start failed' "$work/err.log" ||
  fail "the failed start said: $(cat "$work/err.log")"
rm "$FAKE_SYSTEMCTL_DIR/exit-start"
"$program" --data-dir "$data" -uninstall -silent || fail "the uninstall after a failed start failed"

# Starts a client on the data dir (the arguments go before the program: env settings) and waits
# for its status.
start_client() {
  env "$@" "$program" --data-dir "$data" --service-url http://127.0.0.1:9/vorta/ 2>"$work/client.log" &
  client=$!
  status=
  for _ in $(seq 100); do
    status=$("$program" --data-dir "$data" status --json 2>/dev/null || true)
    [[ -n $status ]] && return 0
    sleep 0.05
  done
}

# A unit that starts as this account makes a start by systemd run in service mode; the same
# account starting it by hand (sudo vorta beside the service) is a desktop start.
printf '[Service]\nUser=%s\nExecStart=/bin/true\n' "$(id -un)" >"$unit"
start_client
[[ $status == '{"serviceMode":false,'* ]] || fail "a start by hand ran as the service: $status"
# A service start beside it does not run: it names the running client and fails.
set +e
"$program" --data-dir "$data" --service 2>"$work/second.log"
code=$?
set -e
[[ $code == 78 ]] || fail "the refused service start exited $code, which systemd would restart"
grep -q "a client (pid $client, desktop mode) holds $data" "$work/second.log" ||
  fail "the refusal does not name the client: $(cat "$work/second.log")"
"$program" --data-dir "$data" status >/dev/null || fail "the running client was disturbed"
kill -TERM "$client"
wait "$client" || fail "the client exited with $?"
client=
# As systemd starts it: a notify socket, a watchdog and standard error on the journal, all the
# test's own.
python3 - "$work/notify" >"$work/notices" <<'EOF' &
import socket, sys
s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
s.bind(sys.argv[1])
while True:
    print(s.recv(4096).decode(), flush=True)
EOF
listener=$!
for _ in $(seq 100); do [[ -S $work/notify ]] && break; sleep 0.05; done
: >"$work/client.log"
start_client INVOCATION_ID=0123456789abcdef NOTIFY_SOCKET="$work/notify" WATCHDOG_USEC=200000 \
  JOURNAL_STREAM="$(stat -c '%d:%i' "$work/client.log")"
[[ $status == '{"serviceMode":true,'* ]] || fail "not in service mode: $status"
grep -qx 'READY=1' "$work/notices" || fail "no READY=1 once it ran: $(cat "$work/notices")"
for _ in $(seq 100); do (($(grep -cx 'WATCHDOG=1' "$work/notices") >= 3)) && break; sleep 0.05; done
(($(grep -cx 'WATCHDOG=1' "$work/notices") >= 3)) || fail "no keep-alives every 0.1 s: $(cat "$work/notices")"
"$program" --data-dir "$data" logon >/dev/null 2>&1 || true  # a failed logon logs a line

# SIGTERM ends it cleanly: exit status 0, the instance channel gone.
kill -TERM "$client"
for _ in $(seq 100); do kill -0 "$client" 2>/dev/null || break; sleep 0.05; done
kill -0 "$client" 2>/dev/null && fail "the service did not stop on SIGTERM"
wait "$client" || fail "the service exited with $?"
client=
sleep 0.1
kill "$listener"
listener=
grep -qx 'STOPPING=1' "$work/notices" || fail "no STOPPING=1 at the stop: $(cat "$work/notices")"
[[ -s $work/client.log ]] || fail "the service logged nothing"
grep -v '^<[346]>vorta: ' "$work/client.log" && fail "a log line without its priority"
"$program" --data-dir "$data" status >/dev/null 2>&1 && fail "status still answered"

# Another account's unit: a plain start stays a desktop client.
printf '[Service]\nUser=vorta-nobody-%s\nExecStart=/bin/true\n' "$$" >"$unit"
start_client
[[ $status == '{"serviceMode":false,'* ]] || fail "not in desktop mode: $status"
echo "service mode test passed"
