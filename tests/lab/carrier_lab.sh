#!/usr/bin/env bash
# End to end in the multi-line lab: lan1 is the necessary line of the main group, lan2 the backup
# group's. lan1's far end goes away (its cable is pulled: the interface stays up without its
# carrier, its default route stays in the table marked linkdown): lan1 counts as down with the
# reason "lan1 没有载波" (no carrier), the backup group is brought up and lan2 goes on reporting; with
# the carrier back lan1 reports again. Needs root and ip netns; skips (77) elsewhere.
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$2" && pwd)
source "$root/scripts/lab/enter.sh"
lab_enter c "$build" "$root"

lab_client_work "$build"

vorta=("$build/src/app/vorta" --data-dir "$work/data")
"${vorta[@]}" config set UserName demo
"${vorta[@]}" config set UserPwd demo123
"${vorta[@]}" lines add --kind lan --entry lan1 --main --necessary >/dev/null
"${vorta[@]}" lines add --kind lan --entry lan2 --backup >/dev/null
# Started by ip netns exec itself, not in the subshell of cli: $! is the program.
ip netns exec "$NS_CLIENT" "${vorta[@]}" --headless \
    --service-url http://service.vorta.example:8080/vorta/vorta.dll/ \
  --line-url-template 'http://line%s.vorta.example:8080/vorta/vorta.dll/' --update-rest 1 \
  2>"$work/client.log" &
client=$!

status=
line_of() { grep -o "{[^{}]*\"entryName\":\"$1\"[^{}]*}" <<<"$status" || true; }
# Waits (at most 30 s) until the status satisfies the test "$@".
wait_status() {
  for _ in $(seq 300); do
    status=$("${vorta[@]}" status --json 2>/dev/null || true)
    "$@" && return 0
    sleep 0.1
  done
  return 1
}
main_up() {
  [[ $status == *'"groupState":0,'* && $(line_of lan1) == *"\"address\":\"$LAB_CLIENT_LINE1\""* &&
     $(line_of lan1) == *'"active":true'* ]]
}
wait_status main_up || fail "lan1 never reported with the main group up: $status"
(($(line_reports_from "$LAB_SERVICE_LINE1" "$LAB_CLIENT_LINE1") > 0)) || fail "no report of lan1"

# The cable is pulled at the gateway's end: lan1 stays administratively up.
ip netns exec "$NS_GW1" ip link set cli down
# Read whole first: grep -q would end the pipe early and pipefail would count the SIGPIPE.
link=$(cli ip link show lan1)
[[ $link == *"<NO-CARRIER,"*",UP"[,\>]* ]] || fail "lan1 should be up without its carrier: $link"
defaults=$(cli ip route show default)
[[ $defaults == *"dev lan1 "*linkdown* ]] || fail "lan1's default route should stay, marked linkdown: $defaults"
failed_over() {
  [[ $status == *'"groupState":1,'* && $(line_of lan1) == *'"active":false'* &&
     $(line_of lan1) == *'"reason":"lan1 没有载波"'* ]]
}
wait_status failed_over || fail "the backup group did not take over with the reason: $status"
grep -q "lan1 没有载波" "$work/client.log" || fail "the log does not say why lan1 is down"
# The backup line carries the reports meanwhile.
before2=$(line_reports_from "$LAB_SERVICE_LINE2" "$LAB_CLIENT_LINE2")
for _ in $(seq 100); do
  (($(line_reports_from "$LAB_SERVICE_LINE2" "$LAB_CLIENT_LINE2") > before2)) && break
  sleep 0.1
done
(($(line_reports_from "$LAB_SERVICE_LINE2" "$LAB_CLIENT_LINE2") > before2)) || fail "lan2 stopped reporting"

# The carrier is back: lan1 reports again.
ip netns exec "$NS_GW1" ip link set cli up
before1=$(line_reports_from "$LAB_SERVICE_LINE1" "$LAB_CLIENT_LINE1")
lan1_back() { [[ $(line_of lan1) == *'"active":true'* && $(line_of lan1) == *'"reason":""'* ]]; }
wait_status lan1_back || fail "lan1 did not come back: $status"
for _ in $(seq 100); do
  (($(line_reports_from "$LAB_SERVICE_LINE1" "$LAB_CLIENT_LINE1") > before1)) && break
  sleep 0.1
done
(($(line_reports_from "$LAB_SERVICE_LINE1" "$LAB_CLIENT_LINE1") > before1)) || fail "lan1 did not report again"

kill -TERM "$client"
wait "$client" || fail "the client exited with $?"
client=
echo "carrier lab test passed"
