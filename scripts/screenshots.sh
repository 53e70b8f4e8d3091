#!/usr/bin/env bash
# Renders the window's pages and small windows under a virtual X display, with the CJK font: in
# Chinese to docs/screenshots/*.png, in English to docs/screenshots/en/, and both with a dark
# palette to docs/screenshots/dark/ and docs/screenshots/en/dark/.
# Usage: scripts/screenshots.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
tool=$build/tests/ui/ui_screenshots
[[ -x $tool ]] || { echo "no $tool: build first (with the window)" >&2; exit 2; }
fc-list | grep -qi "WenQuanYi Zen Hei" || echo "warning: fonts-wqy-zenhei is missing; CJK text may not show" >&2
out=$root/docs/screenshots
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Nothing of the user's: the client's files go to the temp dir.
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_STATE_HOME=$work/state
export QT_QPA_PLATFORM=xcb
for language in zh_CN en; do
  dir=$out
  [[ $language == zh_CN ]] || dir=$out/en
  for theme in light dark; do
    to=$dir
    [[ $theme == light ]] || to=$dir/dark
    LANGUAGE=$language xvfb-run -a -s "-screen 0 1024x768x24" "$tool" "$to" "$theme"
    echo "$to: $(ls "$to"/*.png | wc -l) pictures"
  done
done
