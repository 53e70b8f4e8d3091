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
squatter=
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
  kill "$service" "$keeper" ${squatter:-} 2>/dev/null || true
  wine reg delete 'HKLM\SoftWare\Morvalent\Vorta' /f >/dev/null 2>&1 || true
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
# A user's client keeps its settings in the user's key; on its first start it copies what an
# earlier release left in the machine's key, and writes nothing back there.
machine='HKLM\SoftWare\Morvalent\Vorta'
user='HKCU\Software\Morvalent\Vorta'
wine reg delete "$user" /f >/dev/null 2>&1 || true
wine reg add "$machine" /v UserName /d olduser /f >/dev/null 2>&1 || fail "reg add"
[[ $(vorta config show) == *"UserName=olduser"* ]] || fail "the machine key was not copied: $(vorta config show)"
vorta config set UserName demo || fail "config set UserName"
printf 'demo123\n' | vorta config set UserPwd - || fail "config set UserPwd -"
vorta config set ServiceUrl "$url" || fail "config set ServiceUrl"
[[ $(vorta config show) == *"ServiceUrl=$url"* ]] || fail "config show: $(vorta config show)"
wine reg query "$user" /v UserName 2>/dev/null | tr -d '\r' | grep -q 'REG_SZ *demo$' ||
  fail "the user's key: $(wine reg query "$user" 2>&1)"
wine reg query "$machine" /v UserName 2>/dev/null | tr -d '\r' | grep -q 'REG_SZ *olduser$' ||
  fail "the machine key changed: $(wine reg query "$machine" 2>&1)"
wine reg delete "$machine" /f >/dev/null 2>&1 || true

# A program that made a client's pipe first gets nothing from the commands, not even a password.
squatted=$(winepath -w "$work/squatted" 2>/dev/null)
wine "$build/tests/win32/vorta_pipe_squatter.exe" "$squatted" "$(winepath -w "$work/received")" \
  "$(winepath -w "$work/squatter-ready")" 2> >(wine_quiet) &
squatter=$!
for _ in $(seq 100); do [[ -e $work/squatter-ready ]] && break; sleep 0.1; done
[[ -e $work/squatter-ready ]] || fail "the squatter did not start"
squat() { wine "$program" --data-dir "$squatted" "$@" 2>&1 | tr -d '\r'; }
said=$(squat status) && fail "status trusted the squatter: $said"
[[ $said == *"vorta_pipe_squatter.exe (pid "*"which is not this client"* ]] || fail "status said: $said"
said=$(printf 'secret\n' | squat config set UserPwd -) && fail "config set trusted the squatter: $said"
[[ $said == *"which is not this client"* ]] || fail "config set said: $said"
[[ ! -s $work/received ]] || fail "the squatter received: $(cat "$work/received")"
kill "$squatter" 2>/dev/null || true

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
# Started by the service control manager beside it, the service stops with its own exit code
# (78 under ERROR_SERVICE_SPECIFIC_ERROR), which the manager keeps and shows.
vorta -install -silent || fail "the install run failed"
wine sc start VortaService >/dev/null 2>&1 || fail "the SCM did not start the service"
state=
for _ in $(seq 100); do
  state=$(wine sc query VortaService 2>/dev/null | tr -d '\r')
  [[ $state == *STOPPED* ]] && break
  sleep 0.2
done
[[ $state == *'WIN32_EXIT_CODE    : 1066 '* && $state == *'SERVICE_EXIT_CODE  : 78 '* ]] ||
  fail "the refused service's state: $state"
vorta -uninstall -silent || fail "the uninstall run failed"
kill -0 "$client" || fail "the first client ended"

# A console interrupt (Wine turns SIGINT into CTRL_C_EVENT) ends it cleanly.
kill -INT "$client"
for _ in $(seq 100); do kill -0 "$client" 2>/dev/null || break; sleep 0.1; done
kill -0 "$client" 2>/dev/null && fail "the client did not stop on a console interrupt"
wait "$client" || fail "the client exited with $?"
client=
vorta status >/dev/null 2>&1 && fail "status answered after the client stopped"

# The service: installed by the program's own run, started and stopped by Wine's SCM.
# The window's service box hands the account over in a file, as an elevated run has no input.
printf 'UserName=%s\n' "$(printf carried | od -An -tx1 | tr -d ' \n')" >"$work/carry.txt"
vorta -install -silent --carry-over-file "$(winepath -w "$work/carry.txt")" ||
  fail "the install run failed"
[[ $(vorta config show) == *"UserName=carried"* ]] || fail "not carried over: $(vorta config show)"
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
