#!/usr/bin/env bash
# Installs every package the build, the tests and the demo need. Idempotent and quiet.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libcurl4-openssl-dev libxml2-dev libnl-route-3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libcpp-httplib-dev nlohmann-json3-dev
  curl iproute2 procps openssl
  dpkg-dev desktop-file-utils
  qt6-base-dev xvfb xauth fonts-wqy-zenhei
  g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64
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
