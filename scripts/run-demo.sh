#!/usr/bin/env bash
# The demo: starts the development service on loopback and lets the client log on to it with
# the demo account. Extra arguments go to the client.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
exec scripts/demo.sh build "$@"
