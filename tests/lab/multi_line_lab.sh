#!/usr/bin/env bash
# End to end in the multi-line lab: a headless client with two LAN lines reports each line
# through its own gateway; the service sees two source addresses; a line whose link goes down
# stops reporting while the other goes on. Needs root and ip netns; skips (77) elsewhere.
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$2" && pwd)
source "$root/scripts/lab/enter.sh"
lab_enter t "$build" "$root"

# Inside the lab (lab.sh exported the namespace names).
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  echo "--- client log" >&2
  cat "$work/client.log" >&2 || true
  exit 1
}
lab_services "$build" "$work"
# Every request (logon and reports) that reached the service at $1 from $2.
reports_from() {
  local seen
  seen=$(records "$1")
  grep -o "\"remoteAddr\": \"$2\"" <<<"$seen" | wc -l
}

vorta=("$build/src/app/vorta" --data-dir "$work/data")
"${vorta[@]}" config set UserName demo
"${vorta[@]}" config set UserPwd demo123
"${vorta[@]}" lines add --kind lan --entry lan1 >/dev/null
"${vorta[@]}" lines add --kind lan --entry lan2 >/dev/null
cli "${vorta[@]}" --headless --service-url http://service.vorta.example:8080/vorta/vorta.dll/ \
  --line-url-template 'http://line%s.vorta.example:8080/vorta/vorta.dll/' --update-rest 1 \
  2>"$work/client.log" &
client=$!
trap 'kill $client 2>/dev/null || true; wait $client 2>/dev/null || true; rm -rf "$work"' EXIT

# Each line's address, as the service answered it, shows in the client's status.
status=
for _ in $(seq 200); do
  status=$("${vorta[@]}" status --json 2>/dev/null || true)
  [[ $status == *"\"entryName\":\"lan1\",\"necessary\":false,\"address\":\"$LAB_CLIENT_LINE1\""* &&
     $status == *"\"entryName\":\"lan2\",\"necessary\":false,\"address\":\"$LAB_CLIENT_LINE2\""* ]] && break
  sleep 0.1
done
[[ $status == *"\"address\":\"$LAB_CLIENT_LINE1\""* && $status == *"\"address\":\"$LAB_CLIENT_LINE2\""* ]] ||
  fail "status does not show both line addresses: $status"

# The service saw line 1 from line 1's address and line 2 from line 2's, never crossed.
(($(reports_from "$LAB_SERVICE_LINE1" "$LAB_CLIENT_LINE1") > 0)) || fail "no report of line 1 through gateway 1"
(($(reports_from "$LAB_SERVICE_LINE2" "$LAB_CLIENT_LINE2") > 0)) || fail "no report of line 2 through gateway 2"
(($(reports_from "$LAB_SERVICE_LINE1" "$LAB_CLIENT_LINE2") == 0)) || fail "line 2's address reached line 1's host"
(($(reports_from "$LAB_SERVICE_LINE2" "$LAB_CLIENT_LINE1") == 0)) || fail "line 2's report left by line 1"
# Read whole first: grep -q would end the pipe early and pipefail would count curl's SIGPIPE.
seen=$(records "$LAB_SERVICE_LINE1")
grep -q '"updateIp": "0"' <<<"$seen" || fail "reports should carry UpdateIP 0"
grep -q '"updateIp": "1"' <<<"$seen" && fail "a report carried UpdateIP 1"

# Line 2's link goes down: its reports stop, line 1's go on.
cli ip link set lan2 down
sleep 3
before2=$(reports_from "$LAB_SERVICE_LINE2" "$LAB_CLIENT_LINE2")
before1=$(reports_from "$LAB_SERVICE_LINE1" "$LAB_CLIENT_LINE1")
sleep 4
(($(reports_from "$LAB_SERVICE_LINE2" "$LAB_CLIENT_LINE2") == before2)) || fail "line 2 went on reporting while down"
(($(reports_from "$LAB_SERVICE_LINE1" "$LAB_CLIENT_LINE1") > before1)) || fail "line 1 stopped reporting"

# ip netns exec waits for the client as its child: stop the client itself.
pkill -TERM -f "^$build/src/app/vorta --data-dir $work/data --headless" || fail "the client is gone"
wait "$client" || fail "the client exited with $?"
echo "multi-line lab test passed"
