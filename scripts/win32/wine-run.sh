#!/usr/bin/env bash
# Runs a Windows program under Wine, headless, in a prefix of its own (made on first use):
#   wine-run.sh PREFIX PROGRAM [ARGS...]
# CTest runs the cross build's tests through it (CMAKE_CROSSCOMPILING_EMULATOR).
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
wine_env "$1"
shift
# The Windows C runtime ends lines with CR LF; CTest's test list wants LF.
wine "$@" 2> >(wine_quiet) | tr -d '\r'
