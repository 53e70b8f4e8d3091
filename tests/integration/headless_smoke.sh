#!/usr/bin/env bash
# The programs end to end: a headless client logs on to the development service with saved
# credentials, answers `vorta status`, hands over to a second start, and stops on SIGTERM.
set -euo pipefail
build=$1
work=$(mktemp -d)
cleanup() {
  kill "$client" "$service" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; echo "--- client log" >&2; cat "$work/client.log" >&2 || true; exit 1; }

"$build/tools/devservice/vorta-devservice" --port 0 >"$work/service.log" 2>&1 &
service=$!
for _ in $(seq 100); do
  url=$(sed -n 's/^vorta-devservice listening on \(http:[^ ]*\).*/\1/p' "$work/service.log")
  [[ -n ${url:-} ]] && break
  sleep 0.05
done
[[ -n ${url:-} ]] || fail "the development service did not start"

vorta=("$build/src/app/vorta" --data-dir "$work/data")
"${vorta[@]}" status >/dev/null 2>&1 && fail "status answered with no client running"
[[ $("${vorta[@]}" status 2>/dev/null; echo $?) == *3 ]] || fail "status without a client must exit 3"
"${vorta[@]}" config set UserName demo
"${vorta[@]}" config set UserPwd demo123
"${vorta[@]}" config set NoSuchName 1 2>/dev/null && fail "an unknown setting was accepted"
[[ $(stat -c %a "$work/data/settings.conf") == 600 ]] || fail "settings file mode"

"${vorta[@]}" --headless --service-url "$url" 2>"$work/client.log" &
client=$!
for _ in $(seq 200); do
  grep -q '登陆成功！' "$work/client.log" && break
  sleep 0.05
done
grep -q '登陆成功！' "$work/client.log" || fail "no logon"

# The domain list arrives a second after the logon.
for _ in $(seq 100); do
  out=$("${vorta[@]}" status)
  [[ $out == *"demo.vorta.example"* ]] && break
  sleep 0.1
done
[[ $out == *"logged on as demo"* ]] || fail "status: $out"
[[ $out == *"demo.vorta.example"* ]] || fail "status lacks the domains: $out"
json=$("${vorta[@]}" status --json)
[[ $json == *'"loggedOn":true'* ]] || fail "status --json: $json"

# A second start hands over to the first and ends at once.
timeout 10 "${vorta[@]}" --headless --service-url "$url" 2>/dev/null || fail "second start"
kill -0 "$client" || fail "the first client ended"

kill -TERM "$client"
for _ in $(seq 200); do
  kill -0 "$client" 2>/dev/null || break
  sleep 0.05
done
kill -0 "$client" 2>/dev/null && fail "the client did not stop on SIGTERM"
wait "$client" || fail "the client exited with $?"
client=
echo "headless smoke test passed"
