#!/usr/bin/env bash
# The installer under Wine: a silent install puts vorta.exe in its folder, the Start-menu
# shortcut and the installed programs' entry in place, and with /SERVICE the running service; a
# silent uninstall stops and removes the service, the autostart values, the program, the
# shortcut and the entry, and keeps the user's settings.
#   installer_wine.sh WIN_BUILD SOURCE_ROOT
set -euo pipefail
build=$(cd "$1" && pwd)
root=$2
installer=$build/vorta-setup-1.0.exe
if [[ ! -f $installer ]]; then
  echo "skipped: no installer (makensis was not found when the build was configured)"
  exit 77
fi
source "$root/scripts/win32/wine-env.sh"
wine_env "$build/wineprefix"
work=$(mktemp -d)
# Wine's system processes (the service control manager) stay up while this waits on its input.
mkfifo "$work/keep"
wine cmd <"$work/keep" >/dev/null 2>&1 &
keeper=$!
exec 8>"$work/keep"
dir='C:\VortaInstallTest'
unix_dir=$(winepath -u "$dir" 2>/dev/null)
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vorta'
run_key='Software\Microsoft\Windows\CurrentVersion\Run'
user_key='HKCU\Software\Morvalent\Vorta'
cleanup() {
  wine sc stop VortaService >/dev/null 2>&1 || true
  wine sc delete VortaService >/dev/null 2>&1 || true
  wine reg delete "$entry" /f >/dev/null 2>&1 || true
  rm -rf "$unix_dir"
  exec 8>&-
  kill "$keeper" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
quiet() { "$@" 2> >(wine_quiet) | tr -d '\r'; }

# NSIS takes the folder as the last argument, unquoted.
quiet wine "$installer" /S /SERVICE "/D=$dir" || fail "the silent install failed"
[[ -f $unix_dir/vorta.exe && -f $unix_dir/uninstall.exe ]] || fail "installed: $(ls "$unix_dir" 2>&1)"
shortcut=$(winepath -u 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Vorta客户端.lnk' 2>/dev/null)
[[ -f $shortcut ]] || fail "no Start-menu shortcut at $shortcut"
# Exported as UTF-16: reg's own printing drops what the console's code page lacks.
quiet wine reg export "$entry" "$(winepath -w "$work/entry.reg")" /y >/dev/null 2>&1 ||
  fail "no uninstall entry"
iconv -f UTF-16 -t UTF-8 "$work/entry.reg" | tr -d '\r' >"$work/entry.txt"
for value in '"DisplayName"="Vorta客户端 V1.0"' '"DisplayVersion"="1.0"' '"Publisher"="Morvalent"' \
  '"UninstallString"=.*uninstall.exe' '"QuietUninstallString"=.*/S'; do
  grep -q -- "$value" "$work/entry.txt" || fail "the entry lacks $value: $(cat "$work/entry.txt")"
done
[[ $(quiet wine "$unix_dir/vorta.exe" --version) == *1.0* ]] || fail "the installed program does not run"
# /SERVICE: the service runs from the installed program.
quiet wine reg query 'HKLM\System\CurrentControlSet\Services\VortaService' /v ImagePath |
  grep -q 'VortaInstallTest\\vorta.exe' || fail "the service is not the installed program's"
state=
for _ in $(seq 100); do
  state=$(quiet wine sc query VortaService || true)
  [[ $state == *RUNNING* ]] && break
  sleep 0.2
done
[[ $state == *RUNNING* ]] || fail "the service does not run: $state"

# What the uninstaller keeps and removes.
quiet wine "$unix_dir/vorta.exe" config set UserName keepme || fail "config set"
quiet wine reg add "HKCU\\$run_key" /v VortaClient /d x /f >/dev/null || fail "reg add"
quiet wine "$unix_dir/uninstall.exe" /S || fail "the silent uninstall failed"
# The uninstaller runs on from a copy of its own: wait for what it removes.
for _ in $(seq 300); do
  [[ ! -e $unix_dir/vorta.exe && ! -e $shortcut ]] &&
    ! quiet wine reg query "$entry" >/dev/null 2>&1 && break
  sleep 0.2
done
[[ ! -e $unix_dir/vorta.exe ]] || fail "the program is still there"
[[ ! -e $shortcut ]] || fail "the shortcut is still there"
quiet wine reg query "$entry" >/dev/null 2>&1 && fail "the uninstall entry is still there"
quiet wine reg query 'HKLM\System\CurrentControlSet\Services\VortaService' >/dev/null 2>&1 &&
  fail "the service is still registered"
quiet wine reg query "HKCU\\$run_key" /v VortaClient >/dev/null 2>&1 && fail "the Run value stayed"
quiet wine reg query "$user_key" /v UserName | grep -q keepme || fail "the user's settings went"
quiet wine reg delete "$user_key" /v UserName /f >/dev/null 2>&1 || true
echo "installer under Wine: passed"
