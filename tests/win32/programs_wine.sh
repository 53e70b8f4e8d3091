#!/usr/bin/env bash
# vorta.exe end to end under Wine: a headless client, started at a console, logs on to the
# development service (the Linux build's, on loopback), answers `status --json` over its named
# pipe, refuses a second service start, and stops cleanly on Ctrl+C there; then the program's own install run
# registers the service with Wine's service control manager, which starts it in service mode and
# stops it, and the uninstall run removes it. All of it under a Chinese locale (Wine's ANSI code
# page 936), where vorta.exe, a GUI program, also takes Chinese arguments whole (with and without
# its manifest's UTF-8 code page), writes UTF-8 into pipes and files, and at a console (cmd.exe on
# a pseudo-terminal) attaches to it, writes UTF-16 there, reads a password without echo and ends
# with its exit code.
#   programs_wine.sh WIN_BUILD LINUX_BUILD SOURCE_ROOT
set -euo pipefail
build=$(cd "$1" && pwd)
linux_build=$2
root=$3
if [[ ! -x $linux_build/tools/devservice/vorta-devservice ]]; then
  echo "skipped: no development service (configure with -DVORTA_LINUX_BUILD=a Linux build dir)"
  exit 77
fi
work=$(mktemp -d)
# Wine takes its ANSI code page from the Unix locale: zh_CN gives 936 (GBK). The locale is made
# in the work dir when the system has not generated it (localedef and the sources from `locales`).
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf-\?8'; then
  mkdir "$work/locale"
  if ! localedef -i zh_CN -f UTF-8 "$work/locale/zh_CN.UTF-8" >/dev/null 2>&1; then
    echo "FAIL: cannot make the zh_CN.UTF-8 locale (the locales package)" >&2
    rm -rf "$work"
    exit 1
  fi
  export LOCPATH=$work/locale
fi
# (Bash itself reads LOCPATH only at its start, and warns.)
{ export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8; } 2>/dev/null
source "$root/scripts/win32/wine-env.sh"
wine_env "$build/wineprefix"
console=
squatter=
# Wine ends its system processes (the service control manager among them) once no program runs,
# and boots them again with the next one, starting every automatic service: a program that
# waits on its input keeps the same boot for the whole test.
mkfifo "$work/keep"
wine cmd <"$work/keep" >/dev/null 2>&1 &
keeper=$!
exec 8>"$work/keep"
cleanup() {
  if [[ -n $console ]]; then
    printf '\003' >&7 2>/dev/null || true
    sleep 1
    kill "$console" 2>/dev/null || true
  fi
  exec 7>&- 2>/dev/null || true
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

# A GUI program: no console window when Explorer or the Run key starts it.
header=$(x86_64-w64-mingw32-objdump -p "$program" | grep '^Subsystem')
[[ $header == *'(Windows GUI)'* ]] || fail "not a GUI program: $header"

# Chinese arguments arrive whole, also without the manifest (the ANSI code page stays 936); the
# kind's caption and the name come back as UTF-8 through a pipe and in a redirected file.
for exe in "$program" "$build/tests/win32/vorta_bare.exe"; do
  dir=$(winepath -w "$work/lines-$(basename "$exe")" 2>/dev/null)
  wine "$exe" --data-dir "$dir" lines add --kind lan --entry 办公室网络 >/dev/null 2>&1 ||
    fail "lines add with $exe"
  wine "$exe" --data-dir "$dir" lines list --json >"$work/lines.json" 2> >(wine_quiet)
  grep -q '"entryName":"办公室网络"' "$work/lines.json" || fail "lines list --json: $(cat "$work/lines.json")"
done
[[ $(tr -d '\r' <"$work/lines.json") == '[{"index":1,"kind":"lan",'*'}]' ]] ||
  fail "the redirected file: $(cat "$work/lines.json")"
text=$(wine "$program" --data-dir "$dir" lines list 2> >(wine_quiet) | tr -d '\r')
[[ $text == *'局域网'*'办公室网络'* ]] || fail "lines list into a pipe: $text"
# Exit codes hold: a usage error says why on standard error and ends with 2.
code=0
wine "$program" --no-such-option >"$work/usage.out" 2>"$work/usage.err" || code=$?
[[ $code == 2 ]] && grep -q 'unknown option --no-such-option' "$work/usage.err" &&
  grep -q '^usage: vorta' "$work/usage.err" || fail "usage error: exit $code, $(cat "$work/usage.err")"

# At a console: cmd.exe on a pseudo-terminal, whose console Wine shows there in UTF-8. The
# program attaches to it and writes UTF-16 (bytes written to it would read as GBK), and its exit
# code comes back through cmd /c; a password is typed after the prompt and not echoed.
#   console_start OUTPUT ARGS...: vorta.exe ARGS in cmd /c, in the background ($console);
#   console_type TEXT: keys typed there; console_wait: the run's end, with its exit code.
console_start() {
  local out=$1 line
  shift
  line="wine cmd /c \"$(winepath -w "$program" 2>/dev/null)\""
  for arg in "$@"; do line+=" \"$arg\""; done
  rm -f "$work/tty-in"
  mkfifo "$work/tty-in"
  TERM=${TERM:-xterm} script -qec "$line" /dev/null <"$work/tty-in" >"$out" 2>&1 &
  console=$!
  exec 7>"$work/tty-in"
}
console_type() { printf '%s' "$1" >&7; }
console_wait() {
  local rc=0
  wait "$console" || rc=$?
  console=
  exec 7>&-
  return "$rc"
}
on_console() { console_start "$@" && console_wait; }
on_console "$work/tty.txt" --data-dir "$dir" lines list || fail "lines list at a console"
grep -q '局域网.*办公室网络' "$work/tty.txt" || fail "lines list at a console: $(cat -v "$work/tty.txt")"
code=0
on_console "$work/tty.txt" --no-such-option || code=$?
[[ $code == 2 ]] && grep -q 'unknown option' "$work/tty.txt" ||
  fail "usage error at a console: exit $code, $(cat -v "$work/tty.txt")"
console_start "$work/tty.txt" --data-dir "$dir" config set UserPwd -
await_text "$work/tty.txt" "password:" 300
console_type $'密码xy\r'
console_wait || fail "config set UserPwd - at a console: $(cat -v "$work/tty.txt")"
grep -q '密码' "$work/tty.txt" && fail "the password was echoed: $(cat -v "$work/tty.txt")"
# Wine's reg writes in the ANSI code page.
wine reg query 'HKCU\Software\Morvalent\Vorta' /v UserPwd 2>/dev/null | iconv -f GBK -t UTF-8 |
  tr -d '\r' | grep -q 'REG_SZ *密码xy$' || fail "the typed password was not stored whole"

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

# The headless client runs at a console, where its log shows.
console_start "$work/client.log" --data-dir "$data" --headless
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
kill -0 "$console" || fail "the first client ended"
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
kill -0 "$console" || fail "the first client ended"

# Ctrl+C at its console ends it cleanly.
console_type $'\003'
for _ in $(seq 100); do kill -0 "$console" 2>/dev/null || break; sleep 0.1; done
kill -0 "$console" 2>/dev/null && fail "the client did not stop on Ctrl+C"
console_wait || fail "the client exited with $?"
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
