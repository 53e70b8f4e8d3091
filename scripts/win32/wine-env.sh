# Sourced: `wine_env PREFIX` sets up a headless 64-bit Wine in PREFIX and makes the prefix on
# first use (wineboot, no Mono or Gecko, no display); safe to call from parallel tests.
wine_env() {
  unset DISPLAY WAYLAND_DISPLAY
  wine_prefix "$1"
}

# `wine_env_display PREFIX DISPLAY`: the same on an X display (Xvfb), for the window's tests. A
# server started on one display stays on it: such a prefix is used on one display at a time
# and its server ended afterwards (wineserver -k). There is no window manager: Wine draws the
# windows' frames itself, and CJK text in captions falls back to the CJK font.
wine_env_display() {
  export DISPLAY=$2
  unset WAYLAND_DISPLAY
  wine_prefix "$1" wine_desktop_setup
}

wine_desktop_setup() {
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  local font
  for font in Tahoma "MS Shell Dlg" "MS Shell Dlg 2" "Segoe UI"; do
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
      /v "$font" /t REG_MULTI_SZ /d 'wqy-zenhei.ttc,WenQuanYi Zen Hei' /f >/dev/null 2>&1
  done
}

# `wine_prefix PREFIX [SETUP]`: makes the prefix on first use, running SETUP once in it.
wine_prefix() {
  export WINEPREFIX=$1
  export WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all}
  # Nothing here needs .NET or HTML: no Mono or Gecko prompts, no menu entries.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [[ ! -e $WINEPREFIX/.ready ]]; then
      wineboot -i >/dev/null 2>&1
      [[ -n ${2:-} ]] && "$2"
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
