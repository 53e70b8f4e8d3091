#!/usr/bin/env bash
# End to end in the multi-line lab: the client's host routes carry its route protocol number, so
# a run knows what a killed run left. The first run reports lan1 through its host route and is
# killed; lan1's gateway moves to another address; the next run reports through the new gateway
# (the old run's route is not "in the way") and removes its routes when it is stopped. Another
# program's route to lan2's service address is never replaced nor removed. Needs root and ip
# netns; skips (77) elsewhere.
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$2" && pwd)
source "$root/scripts/lab/enter.sh"
lab_enter r "$build" "$root"

proto=$(sed -n 's/.*kOwnRouteProtocol = \([0-9]*\);.*/\1/p' "$root/src/platform/linux/NetlinkTables.h")
[[ -n $proto ]] || { echo "FAIL: no route protocol number in NetlinkTables.h" >&2; exit 1; }
work=$(mktemp -d)
client=
cleanup() {
  [[ -n $client ]] && kill -9 "$client" 2>/dev/null && wait "$client" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  for log in "$work"/client*.log; do echo "--- $log" >&2; cat "$log" >&2; done
  echo "--- routes" >&2
  ip netns exec "$NS_CLIENT" ip route show >&2 || true
  exit 1
}
lab_services "$build" "$work"

vorta=("$build/src/app/vorta" --data-dir "$work/data")
"${vorta[@]}" config set UserName demo
"${vorta[@]}" config set UserPwd demo123
"${vorta[@]}" lines add --kind lan --entry lan1 >/dev/null
"${vorta[@]}" lines add --kind lan --entry lan2 >/dev/null
# Another program's host route to lan2's service address, through lan1.
cli ip route add "$LAB_SERVICE_LINE2/32" via 198.51.100.1 dev lan1 proto static
foreign() { cli ip route show "$LAB_SERVICE_LINE2/32"; }

start_client() {
  # Started by ip netns exec itself, not in the subshell of cli: $! is the program.
  ip netns exec "$NS_CLIENT" "${vorta[@]}" --headless \
    --service-url http://service.vorta.example:8080/vorta/vorta.dll/ \
    --line-url-template 'http://line%s.vorta.example:8080/vorta/vorta.dll/' --update-rest 1 \
    2>"$work/client$1.log" &
  client=$!
}
# Waits (at most 30 s) until line 1's service has more than $1 reports from lan1.
wait_reports() {
  for _ in $(seq 300); do
    (($(line_reports_from "$LAB_SERVICE_LINE1" "$LAB_CLIENT_LINE1") > $1)) && return 0
    sleep 0.1
  done
  return 1
}

start_client 1
wait_reports 0 || fail "the first run never reported lan1"
route=$(cli ip route show "$LAB_SERVICE_LINE1/32")
[[ $route == *"via 198.51.100.1 dev lan1 proto $proto"* ]] || fail "no marked host route: $route"
blocked="一条并非本客户端添加的通往 $LAB_SERVICE_LINE2 的路由挡住了去路"
for _ in $(seq 100); do
  status=$("${vorta[@]}" status --json 2>/dev/null || true)
  [[ $status == *"$blocked"* ]] && break
  sleep 0.1
done
[[ $status == *"$blocked"* ]] || fail "lan2 should be blocked by the other program's route: $status"
[[ $(foreign) == *"via 198.51.100.1 dev lan1 proto static"* ]] || fail "the other route changed: $(foreign)"

# Killed: nothing is cleaned up.
kill -9 "$client"
wait "$client" 2>/dev/null || true
client=
[[ -n $(cli ip route show proto "$proto") ]] || fail "the killed run's route should be left"

# lan1's gateway moves to another address of the same network.
# (Deleting a primary address takes its secondaries with it: the old one goes first.)
ip netns exec "$NS_GW1" ip addr del 198.51.100.1/24 dev cli
ip netns exec "$NS_GW1" ip addr add 198.51.100.3/24 dev cli
cli ip route replace default via 198.51.100.3 dev lan1 metric 100
before=$(line_reports_from "$LAB_SERVICE_LINE1" "$LAB_CLIENT_LINE1")

start_client 2
wait_reports "$before" || fail "the next run did not report lan1 through the new gateway"
route=$(cli ip route show "$LAB_SERVICE_LINE1/32")
[[ $route == *"via 198.51.100.3 dev lan1 proto $proto"* ]] || fail "the route is not through the new gateway: $route"
[[ $(foreign) == *"via 198.51.100.1 dev lan1 proto static"* ]] || fail "the other route changed: $(foreign)"

kill -TERM "$client"
wait "$client" || fail "the client exited with $?"
client=
left=$(cli ip route show proto "$proto")
[[ -z $left ]] || fail "routes with the client's mark are left: $left"
[[ $(foreign) == *"via 198.51.100.1 dev lan1 proto static"* ]] || fail "the other route was removed: $(foreign)"
echo "restart lab test passed"
