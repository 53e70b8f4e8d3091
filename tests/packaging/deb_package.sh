#!/usr/bin/env bash
# The Debian package: cpack builds it from the build tree into a scratch directory; its control
# fields, file list, modes, unit text and maintainer scripts are checked and its program runs
# from the unpacked tree, with its manual, its completion and lintian. Nothing is installed on this
# machine.
# deb_package.sh CPACK CPACK_CONFIG PREFIX VERSION window|no-window
set -euo pipefail
cpack=$1 config=$2 prefix=$3 version=$4 window=${5:-no-window}
here=$(cd "$(dirname "$0")" && pwd)

for tool in dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing (package dpkg-dev)"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# A group-writable umask must not reach the package's modes.
if ! (umask 0002 && "$cpack" -G DEB --config "$config" -B "$work/out") >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  fail "cpack"
fi
debs=("$work"/out/*.deb)
[[ ${#debs[@]} == 1 && -f ${debs[0]} ]] || fail "expected one package, found: ${debs[*]}"
deb=${debs[0]}
[[ $(basename "$deb") == "vorta_${version}_$(dpkg --print-architecture).deb" ]] \
  || fail "file name $(basename "$deb")"

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
expect_field() {
  local got
  got=$(field "$1")
  [[ $got == "$2" ]] || fail "$1 is '$got', expected '$2'"
}
expect_field Package vorta
expect_field Version "$version"
expect_field Maintainer "Vorta developers <dev@vorta.example>"
expect_field Section net
expect_field Recommends iproute2
expect_field Suggests ppp
depends=$(field Depends)
libs=(libc6 libstdc++6 libcurl4 libxml2)
[[ $window == window ]] && libs+=(libqt6widgets6)
for lib in "${libs[@]}"; do
  [[ $depends == *"$lib "* || $depends == *"$lib,"* || $depends == *"$lib" ]] \
    || fail "Depends lacks $lib: $depends"
done
description=$(field Description)
[[ $(wc -l <<<"$description") -ge 2 && -n $(head -n1 <<<"$description") ]] \
  || fail "Description needs a summary line and a body: $description"

# Contents: exactly these files, owned by root, no links (so no enabled unit), sane modes.
dpkg-deb -c "$deb" >"$work/list"
unit=$prefix/lib/systemd/system/VortaService.service
declare -A files=(
  [".$prefix/bin/vorta"]=-rwxr-xr-x
  [".$unit"]=-rw-r--r--
  [".$prefix/share/applications/vorta.desktop"]=-rw-r--r--
  [".$prefix/share/icons/hicolor/scalable/apps/vorta.svg"]=-rw-r--r--
  [".$prefix/share/man/man1/vorta.1.gz"]=-rw-r--r--
  [".$prefix/share/bash-completion/completions/vorta"]=-rw-r--r--
  [".$prefix/share/doc/vorta/copyright"]=-rw-r--r--
  [".$prefix/share/doc/vorta/changelog.gz"]=-rw-r--r--
  [".$prefix/share/doc/vorta/vorta.html"]=-rw-r--r--
  [".$prefix/share/locale/en/LC_MESSAGES/vorta.mo"]=-rw-r--r--
  [".$prefix/share/locale/zh_CN/LC_MESSAGES/vorta.mo"]=-rw-r--r--
)
if [[ $window == window ]]; then
  files[".$prefix/libexec/vorta/vorta-window"]=-rwxr-xr-x
  files[".$prefix/share/vorta/translations/vorta_en.qm"]=-rw-r--r--
fi
! grep -E 'devservice|_tests|bench_|gtest' "$work/list" || fail "a tool or test is packaged"
! grep -F '.wants' "$work/list" || fail "the package enables the unit"
seen=0
while read -r mode owner _ _ _ path rest; do
  [[ $owner == root/root ]] || fail "$path is owned by $owner"
  case $mode in
    d*) [[ $mode == drwxr-xr-x ]] || fail "directory $path has mode $mode" ;;
    -*) [[ -n ${files[$path]:-} ]] || fail "unexpected file $path"
        [[ $mode == "${files[$path]}" ]] || fail "$path has mode $mode, expected ${files[$path]}"
        seen=$((seen + 1)) ;;
    *) fail "not a file or directory: $mode $path $rest" ;;
  esac
done <"$work/list"
[[ $seen == "${#files[@]}" ]] || fail "expected ${#files[@]} files, found $seen: $(cat "$work/list")"

dpkg-deb -x "$deb" "$work/root"
root=$work/root

# The unit, byte for byte.
cat >"$work/unit" <<UNIT
[Unit]
Description=Vorta V1.0 Service
Wants=network-online.target
After=network-online.target

[Service]
Type=notify
NotifyAccess=main
ExecStart=$prefix/bin/vorta --service --data-dir /var/lib/vorta
WatchdogSec=30
SyslogIdentifier=vorta
NoNewPrivileges=yes
ProtectHome=yes
ProtectSystem=yes
CapabilityBoundingSet=CAP_NET_ADMIN CAP_NET_RAW CAP_CHOWN CAP_DAC_OVERRIDE CAP_FOWNER CAP_KILL CAP_SETUID CAP_SETGID CAP_SYS_MODULE CAP_SYS_TTY_CONFIG
Restart=on-failure
RestartSec=5
RestartPreventExitStatus=78
TimeoutStopSec=10

[Install]
WantedBy=multi-user.target
UNIT
cmp "$work/unit" "$root$unit" || { diff "$work/unit" "$root$unit" >&2 || true; fail "unit text"; }

desktop=$root$prefix/share/applications/vorta.desktop
terminal=true
[[ $window == window ]] && terminal=false
for line in '[Desktop Entry]' 'Type=Application' 'Name=Vorta客户端' 'Icon=vorta' \
            "Terminal=$terminal" 'Categories=Network;'; do
  grep -qxF "$line" "$desktop" || fail "desktop entry lacks '$line'"
done
grep -qE '^Comment=[ -~]+$' "$desktop" || fail "desktop entry needs an English Comment"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate"
else
  echo "note: desktop-file-validate is missing (package desktop-file-utils); not validated"
fi
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[[ $exec_line != *%* ]] || fail "desktop entry Exec has field codes: $exec_line"
if [[ $window == window ]]; then
  # A plain start, which shows the window on a desktop.
  [[ $exec_line == vorta ]] || fail "the desktop entry runs '$exec_line'"
  [[ -x $root$prefix/libexec/vorta/vorta-window ]] || fail "no window program"
else
  # Its command shows `vorta status` and keeps the terminal open until a key. Run here the way a
  # launcher would (bash's word splitting and quotes stand in for the entry's quoting), with a fake
  # vorta and a pipe for the keyboard.
  mkdir -p "$work/desktop-bin"
  cat >"$work/desktop-bin/vorta" <<FAKE
#!/bin/sh
echo "\$*" >>"$work/vorta.calls"
echo "the status of the client"
FAKE
  chmod +x "$work/desktop-bin/vorta"
  mkfifo "$work/keyboard"
  PATH="$work/desktop-bin:$PATH" bash -c "eval exec $(printf %q "$exec_line")" \
    <"$work/keyboard" >"$work/terminal" 2>&1 &
  launched=$!
  exec 3>"$work/keyboard"
  for _ in $(seq 100); do
    grep -q 'the status of the client' "$work/terminal" && break
    sleep 0.05
  done
  grep -q 'the status of the client' "$work/terminal" || fail "the desktop entry shows no status: $(cat "$work/terminal")"
  [[ $(cat "$work/vorta.calls") == status ]] || fail "the desktop entry runs 'vorta $(cat "$work/vorta.calls")'"
  sleep 0.5
  kill -0 "$launched" 2>/dev/null || fail "the desktop entry's terminal closes before a key is pressed"
  echo >&3
  exec 3>&-
  for _ in $(seq 100); do
    kill -0 "$launched" 2>/dev/null || break
    sleep 0.05
  done
  if kill -0 "$launched" 2>/dev/null; then
    kill "$launched"
    fail "the desktop entry's terminal stays open after a key"
  fi
fi

svg=$root$prefix/share/icons/hicolor/scalable/apps/vorta.svg
if command -v xmllint >/dev/null; then
  [[ $(xmllint --xpath 'local-name(/*)' "$svg") == svg ]] || fail "the icon is not an SVG document"
else
  grep -q '<svg ' "$svg" || fail "the icon is not an SVG document"
fi

# The packaged program is stripped and runs.
program=$root$prefix/bin/vorta
sections=$(readelf -S "$program")
[[ $sections != *.debug_info* ]] || fail "the program is not stripped"
[[ $("$program" --version) == "vorta $version" ]] || fail "--version: $("$program" --version)"

# The manual reads without a warning; the completion completes commands, setting names and the
# line numbers of the data dir on the command line.
manual=$root$prefix/share/man/man1/vorta.1.gz
if command -v man >/dev/null; then
  warnings=$(man --warnings -l "$manual" 2>&1 >/dev/null)
  [[ -z $warnings ]] || fail "the manual has warnings: $warnings"
else
  echo "note: man is missing (package man-db); the manual is not checked"
fi
zcat "$manual" | grep -q '^\.SH EXIT STATUS' || fail "the manual has no exit status"
grep -q '<title>VORTA(1)</title>' "$root$prefix/share/doc/vorta/vorta.html" || fail "the web help is not the manual"
completion=$root$prefix/share/bash-completion/completions/vorta
complete_words() { # WORD... (the last one is being completed)
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _vorta; echo "${COMPREPLY[*]}"' \
    _ "$completion" "$@"
}
[[ $(complete_words vorta li) == lines ]] || fail "completion of a command: $(complete_words vorta li)"
[[ $(complete_words vorta config set Ho) == HoldDown ]] || fail "completion of a setting name"
[[ $(complete_words vorta --pair b) == "backup backup-lan" ]] || fail "completion of a pair role"
lines_dir=$work/lines-data
"$program" --data-dir "$lines_dir" lines add --kind lan --entry eth0 >/dev/null
"$program" --data-dir "$lines_dir" lines add --kind lan --entry eth1 --backup >/dev/null
numbers=$(complete_words "$program" --data-dir "$lines_dir" lines delete '')
[[ $numbers == "1 2" ]] || fail "completion of line numbers: '$numbers'"

# lintian finds no error; its warnings are explained in packaging/lintian-warnings.txt.
if command -v lintian >/dev/null; then
  lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1 ||
    fail "lintian: $(cat "$work/lintian")"
  while read -r tag; do
    grep -q "^$tag:" "$here/../../packaging/lintian-warnings.txt" || fail "lintian warning not explained: $tag"
  done < <(sed -n 's/^W: [^:]*: \([^ ]*\).*/\1/p' "$work/lintian" | sort -u)
else
  echo "note: lintian is missing; the package is not linted"
fi

# Maintainer scripts: executable, they reload systemd (stop the service before removal, restart a
# running one after an upgrade) only where it runs (run here once as if it did, once as if not, by
# pointing their check at a scratch directory), never enable or start the unit, and a failing
# systemctl does not fail them. The configure run makes the group vorta where it is missing (the
# group tools are fakes too, so nothing changes on this machine); no script removes it.
dpkg-deb -e "$deb" "$work/control"
mkdir -p "$work/bin" "$work/systemd-running"
cat >"$work/bin/systemctl" <<FAKE
#!/bin/sh
echo "\$*" >>"$work/systemctl.calls"
exit 1
FAKE
cat >"$work/bin/getent" <<FAKE
#!/bin/sh
echo "getent \$*" >>"$work/group.calls"
[ "\$*" = "group vorta" ] && [ -e "$work/group-made" ]
FAKE
for tool in groupadd addgroup groupdel delgroup; do
  cat >"$work/bin/$tool" <<FAKE
#!/bin/sh
echo "$tool \$*" >>"$work/group.calls"
touch "$work/group-made"
FAKE
done
chmod +x "$work"/bin/*
for state in running absent; do
  rm -f "$work/systemctl.calls"
  for script in postinst:configure prerm:upgrade 'postinst:configure 0.9' prerm:remove postrm:remove \
                postrm:purge; do
    name=${script%%:*} args=${script#*:}
    [[ $(stat -c %a "$work/control/$name") == 755 ]] || fail "$name is not mode 755"
    grep -qF '[ -d /run/systemd/system ]' "$work/control/$name" || fail "$name: no systemd check"
    sed "s|/run/systemd/system|$work/systemd-$state|g" "$work/control/$name" >"$work/$name"
    chmod +x "$work/$name"
    # shellcheck disable=SC2086 # the arguments are words
    PATH="$work/bin:$PATH" "$work/$name" $args || fail "$name $args failed (systemd $state)"
  done
  expected=
  [[ $state == absent ]] ||
    expected=$'--system daemon-reload\n--system daemon-reload\n--system try-restart VortaService.service\n--system stop VortaService.service\n--system daemon-reload\n--system daemon-reload'
  calls=$(cat "$work/systemctl.calls" 2>/dev/null || true)
  [[ $calls == "$expected" ]] || fail "systemd $state: systemctl calls '$calls', expected '$expected'"
done
# The first configure run made it; the later ones found it.
[[ $(cat "$work/group.calls") == $'getent group vorta\ngroupadd -r vorta\ngetent group vorta\ngetent group vorta\ngetent group vorta' ]] ||
  fail "group tool calls: $(cat "$work/group.calls")"
! cat "$work/control/postinst" "$work/control/prerm" "$work/control/postrm" | grep -v '^[[:space:]]*#' \
  | grep -E '(^|[^-[:alnum:]])(enable|start|restart|reload-or-restart)\b' \
  || fail "a maintainer script enables or starts the unit"

echo "package ok: $(basename "$deb")"
