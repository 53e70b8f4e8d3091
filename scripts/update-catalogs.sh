#!/usr/bin/env bash
# Gathers the client's texts (Tr and TrMark) into po/en.po and po/zh_CN.po, and the window's (Qt's
# tr) into src/ui/translations/vorta_en.ts. With --check it changes nothing and fails when a text
# lacks its translation: every Chinese text needs one in en.po, every English text one in
# zh_CN.po (each with the same "{}" places), and every window text one in vorta_en.ts.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
pot=$(mktemp --suffix=.pot)
ts=$(mktemp --suffix=.ts)
trap 'rm -f "$pot" "$ts"' EXIT
lupdate=/usr/lib/qt6/bin/lupdate
window_sources=(src/ui/*.cpp src/ui/*.h)
gather_window() {  # into the .ts file $1
  "$lupdate" -silent -I src -no-obsolete -locations none -source-language zh_CN -target-language en \
    "${window_sources[@]}" -ts "$1"
}
mapfile -t sources < <(cd "$root" && find src -name '*.cpp' -o -name '*.h' | grep -v -e '/win32/' -e '^src/ui/' | sort)
xgettext --from-code=UTF-8 --language=C++ --keyword=Tr --keyword=TrMark --no-wrap --sort-by-file \
  --package-name=vorta --msgid-bugs-address=none -o "$pot" "${sources[@]}"
if [[ ${1:-} == --check ]]; then
  status=0
  python3 "$root/scripts/check-catalogs.py" "$pot" po/en.po po/zh_CN.po || status=1
  cp src/ui/translations/vorta_en.ts "$ts"
  gather_window "$ts"
  if grep -q 'type="unfinished"' "$ts"; then
    grep -B1 'type="unfinished"' "$ts" | grep -o '<source>.*</source>' | sed 's/^/vorta_en.ts: no translation for /'
    status=1
  elif ! cmp -s "$ts" src/ui/translations/vorta_en.ts; then
    echo "vorta_en.ts: holds texts the window no longer has: run scripts/update-catalogs.sh"
    status=1
  else
    echo "$(grep -c '<source>' "$ts") window texts, each translated"
  fi
  exit "$status"
fi
gather_window src/ui/translations/vorta_en.ts
for lang in en zh_CN; do
  msgmerge --quiet --update --backup=none --no-wrap --no-fuzzy-matching "po/$lang.po" "$pot"
done
