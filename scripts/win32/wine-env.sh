# Sourced: `wine_env PREFIX` sets up a headless 64-bit Wine in PREFIX and makes the prefix on
# first use (wineboot, no Mono or Gecko, no display); safe to call from parallel tests.
wine_env() {
  export WINEPREFIX=$1
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
  # One server (and one boot of Wine's system processes) for a whole test run: programs that
  # start just as a lingering server exits can fail to start, and every boot starts the
  # automatic services again. It ends 30 s after the last program.
  wineserver -p30 2>/dev/null || true
}

# Wine's complaints about the 32-bit half it does not need, filtered from standard error.
wine_quiet() {
  grep -v -e '^it looks like wine32 is missing' -e 'multiarch needs' \
    -e 'dpkg --add-architecture' -e 'apt-get install wine32' >&2
}
