#!/usr/bin/env bash
# Faults a user meets that must not end the client: a settings store it cannot write, a file
# where the autostart folder should be, the heartbeat port held by another program. The client
# goes on, tells each once, and keeps answering.
set -euo pipefail
build=$1
# As root the client runs as nobody, which must reach this folder: under /tmp, whatever TMPDIR is.
work=$(mktemp -d -p /tmp vorta-faults.XXXXXX)
chmod 755 "$work"
client= service= holder=
cleanup() {
  kill $client $holder $service 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; echo "--- client log" >&2; cat "$work/client.log" >&2 || true; exit 1; }

source "$(dirname "$0")/devservice.sh"
start_devservice "$build" "$work/service.log"

program=$build/src/app/vorta
data=$work/data
vorta=("$program" --data-dir "$data")
"${vorta[@]}" config set UserName demo
printf 'demo123\n' | "${vorta[@]}" config set UserPwd -
"${vorta[@]}" config set ServiceUrl "$url"
mkdir -p "$work/xdg" "$work/home"
: >"$work/xdg/autostart" # a file where the autostart folder should be

runner=()
client_program=$program
store_fault=0
as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
# nobody may not reach the build tree (a home folder of mode 0700, say): it runs a copy from here.
# With its catalogs beside it, the copy speaks as the build's program does.
[[ $(id -u) == 0 ]] && cp "$program" "$work/vorta" && cp -r "$build/src/app/locale" "$work/"
if [[ $(id -u) != 0 ]]; then
  echo "note: the unwritable settings store needs root to be made; that part is skipped"
elif ! "${as_nobody[@]}" env "$work/vorta" --version >/dev/null 2>&1; then
  echo "note: nobody cannot run $work/vorta (/tmp mounted noexec?); the unwritable store is skipped"
else
  # A store the client cannot write: its folder is shared and sticky (it can add its own files,
  # the lock and the socket), the settings file belongs to root.
  chmod 1777 "$data"
  chmod 644 "$data/settings.conf"
  rm -f "$data"/*.lock # left by the root commands above; the client makes its own
  chown nobody "$work/home"
  runner=("${as_nobody[@]}")
  client_program=$work/vorta
  store_fault=1
fi

# Another program holds the heartbeat port: here a second client listening as a backup.
"$program" --data-dir "$work/holder" --headless --pair backup --service-url http://127.0.0.1:9/ \
  2>"$work/holder.log" &
holder=$!
# The client must start only once the port is taken, however slow the machine.
for _ in $(seq 100); do ss -Hlun 'sport = :6666' | grep -q . && break; sleep 0.1; done
ss -Hlun 'sport = :6666' | grep -q . || fail "the holder did not take the heartbeat port"

env HOME="$work/home" XDG_CONFIG_HOME="$work/xdg" "${runner[@]}" "$client_program" \
  --data-dir "$data" --headless --pair backup 2>"$work/client.log" &
client=$!
await_text "$work/client.log" '登陆成功！'
kill -0 "$client" || fail "the client ended"
"${vorta[@]}" logoff >/dev/null || fail "logoff"
"${vorta[@]}" logon >/dev/null || fail "the password kept in memory did not log on again"

count() { grep -c "$1" "$work/client.log" || true; }
(($(count '无法写入自动启动项：') == 1)) || fail "the autostart failure should be told once"
if ((store_fault)); then
  (($(count '无法保存设置：') == 1)) || fail "the settings failure should be told once"
  [[ $(stat -c %U "$data/settings.conf") == root ]] || fail "the store was replaced"
fi
(($(count '6666') >= 1)) || fail "the busy heartbeat port was not told"
"${vorta[@]}" status >/dev/null || fail "status"

kill -TERM "$client"
wait "$client" || fail "the client exited with $?"
client=
echo "faults smoke test passed"
