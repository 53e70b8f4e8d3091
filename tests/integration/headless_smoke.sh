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

source "$(dirname "$0")/devservice.sh"
start_devservice "$build" "$work/service.log"

vorta=("$build/src/app/vorta" --data-dir "$work/data")
"${vorta[@]}" status >/dev/null 2>&1 && fail "status answered with no client running"
[[ $("${vorta[@]}" status 2>/dev/null; echo $?) == *3 ]] || fail "status without a client must exit 3"
"${vorta[@]}" config set UserName demo
# The password from standard input, without the warning the command-line form gives.
printf 'demo123\n' | "${vorta[@]}" config set UserPwd - 2>"$work/pwd.txt" || fail "config set UserPwd -"
[[ -s $work/pwd.txt ]] && fail "the stdin form printed: $(cat "$work/pwd.txt")"
"${vorta[@]}" config set NoSuchName 1 2>/dev/null && fail "an unknown setting was accepted"
# The service's addresses are settings: a bad one is refused and nothing is stored.
"${vorta[@]}" config set LineUrlTemplate http://line.vorta.example/ 2>"$work/bad.txt" &&
  fail "a template without %s was accepted"
grep -q 'exactly one %s' "$work/bad.txt" || fail "template error: $(cat "$work/bad.txt")"
"${vorta[@]}" config set ServiceUrl ftp://service.vorta.example/ 2>/dev/null && fail "an ftp URL was accepted"
"${vorta[@]}" config set AutoLogon yes 2>/dev/null && fail "a flag took yes"
"${vorta[@]}" config set ServiceUrl "$url" || fail "config set ServiceUrl"
shown=$("${vorta[@]}" config show)
[[ $shown == *"ServiceUrl=$url"* && $shown == *$'\nLineUrlTemplate=\n'* && $shown == *"UserPwd=********"* ]] ||
  fail "config show: $shown"
[[ $(stat -c %a "$work/data/settings.conf") == 600 ]] || fail "settings file mode"
# With no client running, lines commands work on the file itself.
"${vorta[@]}" lines add --kind cablemodem --entry modem --user u --password p >/dev/null || fail "lines add on the file"
[[ $(stat -c %a "$work/data/LineInfo.dat") == 600 ]] || fail "lines file mode"

# No --service-url: the stored setting is the address.
"${vorta[@]}" --headless 2>"$work/client.log" &
client=$!
await_text "$work/client.log" '登陆成功！'


# The domain list arrives a second after the logon.
for _ in $(seq 100); do
  out=$("${vorta[@]}" status)
  [[ $out == *"demo.vorta.example"* ]] && break
  sleep 0.1
done
[[ $out == *"logged on as demo"* ]] || fail "status: $out"
[[ $out == *"demo.vorta.example"* ]] || fail "status lacks the domains: $out"
# With the client running, lines commands go through it and it shows the result.
"${vorta[@]}" lines add --kind lan --entry lan9 --backup >/dev/null || fail "lines add through the client"
"${vorta[@]}" lines add --kind lan --entry LAN9 2>"$work/dup.txt" && fail "a duplicate line was accepted"
grep -q '该线路已经存在！' "$work/dup.txt" || fail "duplicate message: $(cat "$work/dup.txt")"
# A user name one byte beyond its slot in the lines file is refused, not cut.
"${vorta[@]}" lines add --kind dialup --entry isp --user 张三李四王五赵六钱七a --password p 2>"$work/long.txt" &&
  fail "a user name beyond its 20 bytes was accepted"
grep -q '用户名称最长20个字节（GBK）！' "$work/long.txt" || fail "long user name message: $(cat "$work/long.txt")"
list=$("${vorta[@]}" lines list)
[[ $list == *"1  Cable Modem  主组  modem"* && $list == *"2  局域网  备组  lan9"* ]] || fail "lines list: $list"
for _ in $(seq 100); do
  out=$("${vorta[@]}" status)
  [[ $out == *"lan9"* ]] && break
  sleep 0.1
done
[[ $out == *"lines: 2"* && $out == *"lan9"* ]] || fail "status lacks the lines: $out"
json=$("${vorta[@]}" status --json)
[[ $json == *'"loggedOn":true'* ]] || fail "status --json: $json"
[[ $out == *"service URL: $url"* ]] || fail "status lacks the URL in use: $out"
[[ $out == *"为了更好地为您服务"* ]] || fail "status lacks the upload notice: $out"

# Driven from the command line, through the client, with the window's messages.
out=$("${vorta[@]}" logoff) || fail "logoff"
[[ $out == *"注销成功！"* ]] || fail "logoff said: $out"
"${vorta[@]}" config set UserPwd wrong 2>/dev/null || fail "config set through the client"
if "${vorta[@]}" logon >"$work/logon.txt" 2>&1; then fail "a wrong password logged on"; fi
grep -q '登陆失败,原因: ' "$work/logon.txt" || fail "failed logon said: $(cat "$work/logon.txt")"
printf 'demo123\n' | "${vorta[@]}" config set UserPwd - || fail "config set UserPwd - through the client"
out=$("${vorta[@]}" logon) || fail "logon: $out"
[[ $out == *"登陆成功！"* ]] || fail "logon said: $out"
out=$("${vorta[@]}" domains) || fail "domains"
[[ $out == *"demo.vorta.example"* && $out == *"www  A  192.0.2.1"* ]] || fail "domains: $out"
json=$("${vorta[@]}" domains --json) || fail "domains --json"
[[ $json == '[{"name":"demo.vorta.example"'* ]] || fail "domains --json: $json"
"${vorta[@]}" config set UpdateSysInfo 0 || fail "config set UpdateSysInfo"
out=$("${vorta[@]}" status)
[[ $out == *"system information upload: off"* && $out != *"为了更好地为您服务"* ]] ||
  fail "the upload notice stayed: $out"
[[ $("${vorta[@]}" config show) == *"UpdateSysInfo=0"* ]] || fail "UpdateSysInfo not saved"

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
