#!/usr/bin/env bash
# What the settings keep across runs, through the program: a pair role set while no client runs
# is in force at the next start and survives a logon; --pair rules one run without being saved;
# a password with blanks round-trips and logs on; AsService is not settable; a killed save's
# temporary file is gone at the next start. The role is a backup's, which only listens.
set -euo pipefail
build=$1
work=$(mktemp -d)
client=
cleanup() {
  kill $client "$service" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; cat "$work"/*.log >&2 2>/dev/null || true; exit 1; }

source "$(dirname "$0")/devservice.sh"
# The demo account with a password that begins and ends with blanks.
python3 - "$(dirname "$0")/../../tools/devservice/fixture.json" "$work/fixture.json" <<'PY'
import json, sys
fixture = json.load(open(sys.argv[1], encoding="utf-8"))
fixture["users"][0]["password"] = "  demo 123 "
json.dump(fixture, open(sys.argv[2], "w", encoding="utf-8"), ensure_ascii=False)
PY
start_devservice "$build" "$work/service.log" --fixture "$work/fixture.json"

vorta=("$build/src/app/vorta" --data-dir "$work/data")
"${vorta[@]}" config set UserName demo
printf '  demo 123 \n' | "${vorta[@]}" config set UserPwd -
"${vorta[@]}" config set AutoLogon 1
"${vorta[@]}" config set ServiceUrl "$url"
for setting in "IsInNet 1" "IsMasterHost 0" "IsInLANBack 1"; do
  "${vorta[@]}" config set $setting || fail "config set $setting"
done
"${vorta[@]}" config set AsService 1 2>"$work/as.txt" && fail "AsService was settable"
grep -q -- '-install' "$work/as.txt" || fail "AsService refusal: $(cat "$work/as.txt")"
# What a save killed between its write and its rename leaves behind.
echo 'UserName=stale' >"$work/data/.settings.conf.Ab12Cd"

run() {  # EXTRA OPTIONS...: starts the client and waits for its logon
  "${vorta[@]}" --headless "$@" 2>"$work/client.log" &
  client=$!
  await_text "$work/client.log" '登陆成功！'
}
stop() {
  kill -TERM "$client"
  wait "$client" || fail "the client exited with $?"
  client=
}

run
[[ ! -e $work/data/.settings.conf.Ab12Cd ]] || fail "the interrupted save's file is still there"
out=$("${vorta[@]}" status)
[[ $out == *"pair: backup"* ]] || fail "the stored role is not in force: $out"
stop
shown=$("${vorta[@]}" config show)
[[ $shown == *$'IsInNet=1\nIsMasterHost=0\nIsInLANBack=1'* ]] || fail "the logon lost the role: $shown"
grep -qx 'UserPwd=  demo 123 ' "$work/data/settings.conf" || fail "the password lost its blanks"

# The run's own role is not saved; the stored one is back at the next start.
"${vorta[@]}" config set IsInNet 0
run --pair backup
[[ $("${vorta[@]}" status) == *"pair: backup"* ]] || fail "--pair was not in force"
stop
[[ $("${vorta[@]}" config show) == *$'IsInNet=0\n'* ]] || fail "--pair was saved"
run
[[ $("${vorta[@]}" status) != *"pair:"* ]] || fail "a role without IsInNet is in force"
stop
echo "settings test passed"
