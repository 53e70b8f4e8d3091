#!/usr/bin/env bash
# vorta.exe end to end under Wine: a headless client logs on to the development service (the
# Linux build's, on loopback), answers `status --json` over its named pipe, refuses a second
# service start, and stops cleanly on a console interrupt; then the program's own install run
# registers the service with Wine's service control manager, which starts it in service mode and
# stops it, and the uninstall run removes it.
#   programs_wine.sh WIN_BUILD LINUX_BUILD SOURCE_ROOT
set -euo pipefail
build=$(cd "$1" && pwd)
linux_build=$2
root=$3
if [[ ! -x $linux_build/tools/devservice/vorta-devservice ]]; then
  echo "skipped: no development service (configure with -DVORTA_LINUX_BUILD=a Linux build dir)"
  exit 77
fi
source "$root/scripts/win32/wine-env.sh"
wine_env "$build/wineprefix"
work=$(mktemp -d)
client=
# Wine ends its system processes (the service control manager among them) once no program runs,
# and boots them again with the next one, starting every automatic service: a program that
# waits on its input keeps the same boot for the whole test.
mkfifo "$work/keep"
wine cmd <"$work/keep" >/dev/null 2>&1 &
keeper=$!
exec 8>"$work/keep"
cleanup() {
  [[ -n $client ]] && kill -INT "$client" 2>/dev/null || true
  wine sc stop VortaService >/dev/null 2>&1 || true
  wine sc delete VortaService >/dev/null 2>&1 || true
  exec 8>&-
  kill "$service" "$keeper" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; echo "--- client log" >&2; cat "$work/client.log" >&2 || true; exit 1; }
source "$root/tests/integration/devservice.sh"
start_devservice "$linux_build" "$work/service.log"

program=$build/src/app/vorta.exe
data=$(winepath -w "$work/data" 2>/dev/null)
# One run of the program; its CR LF line ends as LF.
vorta() { wine "$program" --data-dir "$data" "$@" 2> >(wine_quiet) | tr -d '\r'; }

vorta status >/dev/null 2>&1 && fail "status answered with no client running"
vorta config set UserName demo || fail "config set UserName"
printf 'demo123\n' | vorta config set UserPwd - || fail "config set UserPwd -"
vorta config set ServiceUrl "$url" || fail "config set ServiceUrl"
[[ $(vorta config show) == *"ServiceUrl=$url"* ]] || fail "config show: $(vorta config show)"

wine "$program" --data-dir "$data" --headless 2>"$work/client.log" &
client=$!
await_text "$work/client.log" '登陆成功！' 300
json=
for _ in $(seq 100); do
  json=$(vorta status --json 2>/dev/null || true)
  [[ $json == *'"loggedOn":true'* ]] && break
  sleep 0.2
done
[[ $json == '{"serviceMode":false,'* && $json == *'"loggedOn":true'* ]] || fail "status --json: $json"
# Its log travels over the pipe as the window's view does: the logon's entry is there.
vorta log --json >"$work/log.json" 2>&1 || fail "log: $(cat "$work/log.json")"
grep -q '"text":"登陆成功！"' "$work/log.json" || fail "log: $(cat "$work/log.json")"
# A service start beside it names it and fails; the running client is left alone.
if vorta --service >"$work/second.log" 2>&1; then fail "a second client ran"; fi
kill -0 "$client" || fail "the first client ended"

# A console interrupt (Wine turns SIGINT into CTRL_C_EVENT) ends it cleanly.
kill -INT "$client"
for _ in $(seq 100); do kill -0 "$client" 2>/dev/null || break; sleep 0.1; done
kill -0 "$client" 2>/dev/null && fail "the client did not stop on a console interrupt"
wait "$client" || fail "the client exited with $?"
client=
vorta status >/dev/null 2>&1 && fail "status answered after the client stopped"

# The service: installed by the program's own run, started and stopped by Wine's SCM.
vorta -install -silent || fail "the install run failed"
key='HKLM\System\CurrentControlSet\Services\VortaService'
wine reg query "$key" 2>/dev/null | tr -d '\r' >"$work/config.txt"
grep -q "ImagePath.*vorta.exe\" --service --data-dir" "$work/config.txt" &&
  grep -q 'DisplayName.*Vorta V1.0 Service' "$work/config.txt" &&
  grep -q 'ObjectName.*LocalSystem' "$work/config.txt" || fail "service config: $(cat "$work/config.txt")"
wine sc start VortaService >/dev/null 2>&1 || fail "the SCM did not start the service"
json=
for _ in $(seq 100); do
  json=$(vorta status --json 2>/dev/null || true)
  [[ $json == '{"serviceMode":true,'* ]] && break
  sleep 0.2
done
[[ $json == '{"serviceMode":true,'* ]] || fail "the service's status: $json"
wine sc stop VortaService >/dev/null 2>&1 || fail "sc stop"
for _ in $(seq 100); do
  vorta status >/dev/null 2>&1 || break
  sleep 0.2
done
vorta status >/dev/null 2>&1 && fail "the service still answers after its stop"
wine sc query VortaService 2>/dev/null | tr -d '\r' | grep -q STOPPED || fail "the service is not STOPPED"
vorta -uninstall -silent || fail "the uninstall run failed"
if wine reg query "$key" >/dev/null 2>&1; then fail "the service is still registered"; fi
echo "Windows programs under Wine: passed"
