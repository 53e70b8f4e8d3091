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
    # The server and what it boots outlive this lock: they must not hold it.
    wine_session 9>&-
  ) 9>"$WINEPREFIX.lock"
}

# One server (and one boot of Wine's system processes) for a whole test run: programs that start
# just as a lingering server exits can fail to start, and every boot starts the automatic services
# again. It ends 30 s after the last program.
#
# The first program of a server boots its system processes (the service control manager, the
# device drivers, plug and play), which inherit that program's standard error and live as long as
# the server. Booted by a test, they would hold its output pipe open, and CTest, which reads a
# test's output to the end, would wait for them long after the test ended. So a program of our own
# with nothing open boots them, or, when a server runs already, starts its 30 s again, so that the
# program run next still finds it.
wine_session() {
  wineserver -p30 2>/dev/null || true
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

# Wine's complaints about the 32-bit half it does not need, filtered from standard error.
wine_quiet() {
  grep -v -e '^it looks like wine32 is missing' -e 'multiarch needs' \
    -e 'dpkg --add-architecture' -e 'apt-get install wine32' >&2
}
