#!/usr/bin/env bash
# Installs every package the build, the tests and the demo need. Idempotent and quiet.
set -euo pipefail

# A minimal Debian has only its essential packages (coreutils, util-linux with setpriv and flock,
# diffutils, grep, sed, findutils, mawk, dpkg with dpkg-deb): everything else the scripts and the
# tests call is named here.
packages=(
  build-essential cmake ninja-build pkg-config
  libcurl4-openssl-dev libxml2-dev libnl-route-3-dev libsystemd-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libcpp-httplib-dev nlohmann-json3-dev
  # The lab and integration tests: ip and bridge; sysctl, pgrep and pkill; curl; python3 holds a
  # port in the pair lab and plays the silent service in the benchmark; openssl makes the field
  # lab's test authority.
  curl iproute2 procps python3 openssl
  # The package and its test: cpack's DEB generator runs file and dpkg-shlibdeps; the test checks
  # the desktop entry, the icon (xmllint), the unit (systemd-analyze), the manual (man) and the
  # package itself (lintian).
  file dpkg-dev desktop-file-utils libxml2-utils systemd man-db lintian
  # The window's help is the manual as a web page.
  mandoc
  qt6-base-dev xvfb xauth x11-utils fonts-wqy-zenhei
  # The translations: gettext's tools for the client's texts, Qt Linguist's for the window's.
  gettext qt6-tools-dev qt6-l10n-tools
  # A session bus of the window test's own, for the desktop's notification service.
  dbus-daemon
  g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 nsis
  # The Windows programs test runs under zh_CN.UTF-8 (Wine's ANSI code page 936): localedef
  # makes it from these sources when the system has not generated it.
  locales
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
