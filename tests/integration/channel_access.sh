#!/usr/bin/env bash
# Who may reach and drive the service, through the programs: a service run by root opens its
# channel to the group vorta (socket root:vorta 0660, data dir root:vorta 0710, which the service
# still accepts); a member reads its status and changes a setting; anyone else is told to join
# the group. An asker outside the group that an admin let through a widened socket reads the
# status but changes nothing. Needs root to make users; skips (77) elsewhere.
set -euo pipefail
build=$1
fakes=$2
if [[ $(id -u) != 0 ]]; then
  echo "test skipped: it needs root to run the service and to make users"
  exit 77
fi
for tool in groupadd groupdel useradd userdel runuser getent; do
  command -v "$tool" >/dev/null || { echo "test skipped: $tool is missing"; exit 77; }
done
work=$(mktemp -d)
member=vorta-in-$$
other=vorta-out-$$
made_group=
client=
cleanup() {
  [[ -n $client ]] && kill "$client" 2>/dev/null || true
  [[ -n ${window:-} ]] && kill "$window" 2>/dev/null || true
  wait 2>/dev/null || true
  userdel "$member" 2>/dev/null || true
  userdel "$other" 2>/dev/null || true
  [[ -n $made_group ]] && groupdel vorta 2>/dev/null || true
  [[ -n ${KEEP:-} ]] || rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; cat "$work"/*.log >&2 2>/dev/null || true; exit 1; }

if ! getent group vorta >/dev/null; then
  groupadd -r vorta
  made_group=1
fi
useradd -M -N -r -G vorta "$member"
useradd -M -N -r "$other"
as() { runuser -u "$1" -- "${@:2}"; }

export VORTA_SYSTEMCTL=$fakes/fake-systemctl FAKE_SYSTEMCTL_DIR=$work/fake
export VORTA_SYSTEMD_UNIT_DIR=$work/units
mkdir -p "$FAKE_SYSTEMCTL_DIR" "$VORTA_SYSTEMD_UNIT_DIR"
# Root's folders: the users may pass through the test's folder and run the program from it.
chmod 0755 "$work"
program=$work/vorta
cp "$build/src/app/vorta" "$work/"
# A build without the window (the ThreadSanitizer one) checks the commands only.
[[ -x $build/src/app/vorta-window ]] && cp "$build/src/app/vorta-window" "$work/"
data=$work/data
mkdir -m 0700 "$data"
socket="$data/Vorta客户端 V1.0"

start_service() {
  "$program" --service --data-dir "$data" --service-url http://127.0.0.1:9/vorta/ 2>"$work/service.log" &
  client=$!
  for _ in $(seq 100); do "$program" --data-dir "$data" status >/dev/null 2>&1 && break; sleep 0.05; done
  "$program" --data-dir "$data" status >/dev/null || fail "the service does not answer root"
}
stop_service() {
  kill -TERM "$client"
  wait "$client" || fail "the service exited with $?"
  client=
}
start_service

[[ $(stat -c '%U:%G %a' "$socket") == 'root:vorta 660' ]] || fail "socket: $(stat -c '%U:%G %a' "$socket")"
[[ $(stat -c '%U:%G %a' "$data") == 'root:vorta 710' ]] || fail "data dir: $(stat -c '%U:%G %a' "$data")"

# A member (vorta is one of its other groups): its status and its change.
as "$member" "$program" --data-dir "$data" status >"$work/member-status.txt" 2>"$work/member.log" ||
  fail "a member's status failed"
[[ -s $work/member-status.txt ]] || fail "a member's status printed nothing"
as "$member" "$program" --data-dir "$data" config set UserName by-member 2>"$work/member.log" ||
  fail "a member's config set failed"
grep -qx 'UserName=by-member' "$data/settings.conf" || fail "the member's setting was not saved"

# The window of a member attaches to the service; anyone else's says how to join the group.
window_as() {
  mkdir -p "$work/home-$1"
  chown "$1" "$work/home-$1"
  as "$1" env HOME="$work/home-$1" XDG_CONFIG_HOME="$work/home-$1" QT_QPA_PLATFORM=offscreen \
    "$work/vorta-window" --data-dir "$data" >/dev/null 2>"$work/window-$1.log" &
  window=$!
  for _ in $(seq 100); do grep -qF "$2" "$work/window-$1.log" && break; sleep 0.1; done
  kill "$window" 2>/dev/null || true
  # runuser does not pass the signal on: the window itself is ended by its user's name.
  pkill -TERM -u "$1" -x vorta-window 2>/dev/null || true
  wait "$window" 2>/dev/null || true
  window=
  grep -qF "$2" "$work/window-$1.log" || fail "$1's window did not say '$2': $(cat "$work/window-$1.log")"
}
if [[ -x $work/vorta-window ]]; then
  window_as "$member" "attached to the client on $data"
  window_as "$other" "sudo usermod -aG vorta $other"
else
  echo "note: this build has no vorta-window; the windows' part is skipped"
fi

# Anyone else does not reach the channel and is told how to.
expected="vorta: the client on $data runs as a service that only root and the members of the group vorta may reach; join the group with: sudo usermod -aG vorta $other (then log in again)"
for command in status "config set UserName by-other"; do
  set +e
  # shellcheck disable=SC2086 # the command's words
  as "$other" "$program" --data-dir "$data" $command >"$work/other.out" 2>"$work/other.err"
  code=$?
  set -e
  [[ $code == 1 ]] || fail "a non-member's $command exited $code"
  [[ $(cat "$work/other.err") == "$expected" ]] || fail "a non-member's $command said: $(cat "$work/other.err")"
done

# A socket an admin opened wider: the asker outside the group reads, and changes nothing.
chmod o+x "$data"
chmod 0666 "$socket"
as "$other" "$program" --data-dir "$data" status >/dev/null 2>"$work/other.err" ||
  fail "a non-member through a widened socket got no status: $(cat "$work/other.err")"
set +e
as "$other" "$program" --data-dir "$data" config set UserName by-other 2>"$work/other.err"
code=$?
set -e
[[ $code == 1 ]] || fail "a non-member's change through a widened socket exited $code"
[[ $(cat "$work/other.err") == "vorta: only root and the members of the group vorta may change this client" ]] ||
  fail "a non-member's change said: $(cat "$work/other.err")"
grep -qx 'UserName=by-member' "$data/settings.conf" || fail "a non-member changed the setting"

stop_service

# The folder as the service left it, root:vorta 0710, is one the next start accepts.
chmod o-x "$data"
start_service
[[ $(stat -c '%U:%G %a' "$socket") == 'root:vorta 660' ]] || fail "socket after a restart: $(stat -c '%U:%G %a' "$socket")"
stop_service
echo "channel access test passed"
