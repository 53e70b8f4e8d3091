#!/usr/bin/env bash
# Runs a Windows program under Wine, headless, in a prefix of its own (made on first use):
#   wine-run.sh PREFIX PROGRAM [ARGS...]
# CTest runs the cross build's tests through it (CMAKE_CROSSCOMPILING_EMULATOR).
set -euo pipefail
export WINEPREFIX=$1
shift
export WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all}
unset DISPLAY WAYLAND_DISPLAY
# Nothing here needs .NET or HTML: no Mono or Gecko prompts, no menu entries.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
mkdir -p "$WINEPREFIX"
(
  flock 9
  if [[ ! -e $WINEPREFIX/.ready ]]; then
    wineboot -i >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.ready"
  fi
) 9>"$WINEPREFIX.lock"
# The Windows C runtime ends lines with CR LF; CTest's test list wants LF.
wine "$@" 2> >(grep -v -e '^it looks like wine32 is missing' -e 'multiarch needs' \
  -e 'dpkg --add-architecture' -e 'apt-get install wine32' >&2) | tr -d '\r'
