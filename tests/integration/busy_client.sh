#!/usr/bin/env bash
# A client in the middle of a slow logon still answers: `vorta status` and a second start (which
# hands over) are served beside the logon that waits for the service.
set -euo pipefail
build=$1
work=$(mktemp -d)
client= service= logon=
cleanup() {
  kill $logon $client $service 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; echo "--- client log" >&2; cat "$work/client.log" >&2 || true; exit 1; }

source "$(dirname "$0")/devservice.sh"
start_devservice "$build" "$work/service.log"
control=${url%/vorta/vorta.dll/}/control

vorta=("$build/src/app/vorta" --data-dir "$work/data")
"${vorta[@]}" config set UserName demo
printf 'demo123\n' | "${vorta[@]}" config set UserPwd -
"${vorta[@]}" config set ServiceUrl "$url"
"${vorta[@]}" --headless 2>"$work/client.log" &
client=$!
await_text "$work/client.log" '登陆成功！'
"${vorta[@]}" logoff >/dev/null || fail "logoff"

# The service holds the next logon's answer for 15 s.
curl -fsS -d '{}' "$control/reset" >/dev/null
curl -fsS -d '{"exchange": "profile", "delayMs": 15000, "count": 1}' "$control/fault" >/dev/null ||
  fail "the fault was not set"
"${vorta[@]}" logon >"$work/logon.txt" 2>&1 &
logon=$!
for _ in $(seq 100); do
  records=$(curl -fsS "$control/records")
  [[ $records == *QueryUserProfileReq* ]] && break
  sleep 0.1
done
[[ $records == *QueryUserProfileReq* ]] || fail "the logon never reached the service"

out=$(timeout 2 "${vorta[@]}" status) || fail "status during the logon did not answer within 2 s"
[[ $out == *"logon: logged off"* ]] || fail "status during the logon: $out"
timeout 5 "${vorta[@]}" --headless 2>"$work/second.log" ||
  fail "the second start did not hand over within 5 s (exit $?): $(cat "$work/second.log")"
kill -0 "$client" || fail "the first client ended"
kill -0 "$logon" 2>/dev/null || fail "the logon was over before the test asked beside it"

wait "$logon" || fail "the slow logon failed: $(cat "$work/logon.txt")"
logon=
grep -q '登陆成功！' "$work/logon.txt" || fail "the slow logon said: $(cat "$work/logon.txt")"

kill -TERM "$client"
wait "$client" || fail "the client exited with $?"
client=
echo "busy client test passed"
