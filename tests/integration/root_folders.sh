#!/usr/bin/env bash
# Root works only in root's folders, through the program: the service neither starts nor installs
# on a folder another user owns, and a root client on such a folder, whose files that user
# replaced with links, creates and writes none of their targets. The install run takes what the
# window carries over on standard input into the service's own folder, refuses anything else,
# and switches the desktop autostart off. Needs root; skips (77) elsewhere.
set -euo pipefail
build=$1
fakes=$2
if [[ $(id -u) != 0 ]]; then
  echo "test skipped: it needs root to own folders as another user"
  exit 77
fi
work=$(mktemp -d)
client=
cleanup() {
  [[ -n $client ]] && kill "$client" 2>/dev/null || true
  wait 2>/dev/null || true
  [[ -n ${KEEP:-} ]] || rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; cat "$work"/*.log >&2 2>/dev/null || true; exit 1; }

export VORTA_SYSTEMCTL=$fakes/fake-systemctl FAKE_SYSTEMCTL_DIR=$work/fake
export VORTA_SYSTEMD_UNIT_DIR=$work/units XDG_CONFIG_HOME=$work/xdg
mkdir -p "$FAKE_SYSTEMCTL_DIR" "$VORTA_SYSTEMD_UNIT_DIR" "$work/targets"
program=$build/src/app/vorta
lock='Vorta客户端 V1.0.lock'

# A user's folder whose files are links to where root would do harm.
user=$work/user
mkdir -m 0755 "$user"
for name in settings.conf LineInfo.dat "$lock"; do ln -s "$work/targets/$name" "$user/$name"; done
chown -R nobody "$user"
no_targets() { [[ -z $(ls -A "$work/targets") ]] || fail "$1 made $(ls -A "$work/targets")"; }

set +e
"$program" --data-dir "$user" --service 2>"$work/service.log"
code=$?
set -e
[[ $code == 78 ]] || fail "a refused service start exited $code, which systemd restarts"
grep -q "does not belong to root" "$work/service.log" || fail "refusal: $(cat "$work/service.log")"
"$program" --data-dir "$user" -install -silent 2>"$work/install.log" && fail "installed on a user's folder"
[[ -z $(ls -A "$VORTA_SYSTEMD_UNIT_DIR") ]] || fail "a unit was written"
no_targets "the service"

# Root by hand on that folder: the link in the lock's place stops the start.
"$program" --data-dir "$user" --headless --service-url http://127.0.0.1:9/ 2>"$work/desktop.log" &&
  fail "a client started through the lock's link"
no_targets "a desktop start"
# Without it the client runs; it reads and replaces no file through a link.
rm "$user/$lock"
"$program" --data-dir "$user" --headless --service-url http://127.0.0.1:9/ 2>"$work/desktop.log" &
client=$!
for _ in $(seq 100); do "$program" --data-dir "$user" status >/dev/null 2>&1 && break; sleep 0.05; done
"$program" --data-dir "$user" config set UserName someone 2>"$work/set.log" &&
  fail "a setting was written through a link"
grep -q "symbolic link" "$work/set.log" || fail "config set said: $(cat "$work/set.log")"
kill -TERM "$client"
wait "$client" || fail "the client exited with $?"
client=
no_targets "a running client"

# The install run with what the window carries over: the account and a line.
hex() { printf '%s' "$1" | od -An -tx1 -v | tr -d ' \n'; }
"$program" --data-dir "$work/scratch" lines add --kind lan --entry eth9 >/dev/null
record=$(od -An -tx1 -v "$work/scratch/LineInfo.dat" | tr -d ' \n')
mkdir -p "$XDG_CONFIG_HOME/autostart"
touch "$XDG_CONFIG_HOME/autostart/VortaClient.desktop"
system=$work/system
printf 'IsInNet=%s\n' "$(hex 1)" | "$program" --data-dir "$system" -install -silent --carry-over \
  2>"$work/carry.log" && fail "a setting that is not carried over was taken"
[[ ! -e $system/settings.conf ]] || fail "a refused carry-over wrote the settings"
printf 'UserName=%s\nUserPwd=%s\nLine=%s\n' "$(hex demo)" "$(hex ' p w ')" "$record" |
  "$program" --data-dir "$system" -install -silent --carry-over 2>"$work/carry.log" ||
  fail "the install with a carry-over failed"
grep -q "takes over the account, the service addresses and 1 line" "$work/carry.log" ||
  fail "the install run did not say what it took: $(cat "$work/carry.log")"
shown=$("$program" --data-dir "$system" config show)
[[ $shown == *"UserName=demo"* && $shown == *"AutoLogon=1"* && $shown == *"AutoRunAsOSStart=0"* ]] ||
  fail "carried settings: $shown"
grep -qx 'UserPwd= p w ' "$system/settings.conf" || fail "the password changed on the way"
[[ $("$program" --data-dir "$system" lines list) == *eth9* ]] || fail "the line was not carried over"
[[ ! -e $XDG_CONFIG_HOME/autostart/VortaClient.desktop ]] || fail "the autostart entry is still there"
echo "root folders test passed"
