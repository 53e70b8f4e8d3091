#!/usr/bin/env bash
# vorta.exe under Wine in the multi-line lab: a headless client with the LAN line lan1 logs on
# and reports the line; the service host sees the report from lan1's address, and status shows
# the address the service answered. Wine accepts host routes without adding them (the client
# refuses such a route), so the test puts the route through lan1's gateway in place itself, as a
# Windows client would; the client finds it and reports through it. Needs root and ip netns;
# skips (77) elsewhere.
#   line_lab_wine.sh WIN_BUILD LINUX_BUILD SOURCE_ROOT
set -euo pipefail
build=$(cd "$1" && pwd)
linux_build=$(cd "$2" 2>/dev/null && pwd || true)
root=$(cd "$3" && pwd)
if [[ ! -x $linux_build/tools/devservice/vorta-devservice ]]; then
  echo "skipped: no development service (configure with -DVORTA_LINUX_BUILD=a Linux build dir)"
  exit 77
fi
source "$root/scripts/lab/enter.sh"
lab_enter w "$build" "$linux_build" "$root"

work=$(mktemp -d)
client=
fail() {
  echo "FAIL: $*" >&2
  echo "--- client log" >&2
  cat "$work/client.log" >&2 || true
  exit 1
}
source "$root/scripts/win32/wine-env.sh"
# A prefix of the test's own, whose Wine (and its network driver) starts inside the client host:
# it is made here, and every program after that runs in the client host's namespace.
echo "-- making a Wine prefix for the client host"
wine_env "$work/prefix"
wineserver -k 2>/dev/null || true
timeout 60 wineserver -w || fail "the prefix's Wine did not end"
# Its server starts again in the client host, booted by a program with none of our output open.
cli bash -c "source '$root/scripts/win32/wine-env.sh' && wine_session"
service=
cleanup() {
  if [[ -n $client ]]; then
    printf '\003' >&7 2>/dev/null || true
    sleep 1
    kill "$client" 2>/dev/null || true
  fi
  [[ -n $service ]] && kill "$service" 2>/dev/null || true
  wait 2>/dev/null || true
  cli wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

svc "$linux_build/tools/devservice/vorta-devservice" --host "$LAB_SERVICE_LINE1" --port 8080 --quiet \
  >"$work/service.log" 2>&1 &
service=$!
records() { svc curl -s "http://$LAB_SERVICE_LINE1:8080/control/records"; }
for _ in $(seq 100); do records >/dev/null 2>&1 && break; sleep 0.05; done

program=$build/src/app/vorta.exe
data='C:\vorta-lab'
vorta() { cli timeout 60 wine "$program" --data-dir "$data" "$@" 2> >(wine_quiet) | tr -d '\r'; }
echo "-- configuring the client"

vorta config set UserName demo || fail "config set UserName"
vorta config set UserPwd demo123 2>/dev/null || fail "config set UserPwd"
vorta lines add --kind lan --entry lan1 >/dev/null || fail "lines add"
cli ip route add "$LAB_SERVICE_LINE1/32" via 198.51.100.1 dev lan1

# Started at a console (cmd.exe on a pseudo-terminal), where Ctrl+C stops it: Wine turns a SIGINT
# into no control event for a GUI program.
mkfifo "$work/tty-in"
ip netns exec "$NS_CLIENT" env TERM="${TERM:-xterm}" script -qec "wine cmd /c \"Z:${program//\//\\}\" \
  --data-dir \"$data\" --headless --service-url http://service.vorta.example:8080/vorta/vorta.dll/ \
  --line-url-template http://line%s.vorta.example:8080/vorta/vorta.dll/ --update-rest 1" \
  /dev/null <"$work/tty-in" >"$work/client.log" 2>&1 &
client=$!
exec 7>"$work/tty-in"

echo "-- waiting for lan1's report"
status=
for _ in $(seq 300); do
  status=$(vorta status --json 2>/dev/null || true)
  [[ $status == *"\"entryName\":\"lan1\",\"necessary\":false,\"address\":\"$LAB_CLIENT_LINE1\""* ]] && break
  sleep 0.2
done
[[ $status == *"\"address\":\"$LAB_CLIENT_LINE1\""* ]] || fail "status does not show lan1's address: $status"
seen=$(records | sed -n '/"lineReports"/,/"networkUploads"/p')
grep -q "\"remoteAddr\": \"$LAB_CLIENT_LINE1\"" <<<"$seen" || fail "no report from lan1's address: $seen"
vorta status | grep -q "logged on as demo" || fail "not logged on: $(vorta status)"
# Ctrl+C at its console ends it cleanly.
printf '\003' >&7
wait "$client" || fail "the client exited with $?"
exec 7>&-
client=
echo "vorta.exe reported lan1 through its gateway"
