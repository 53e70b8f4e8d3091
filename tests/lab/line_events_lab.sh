#!/usr/bin/env bash
# End to end in the multi-line lab, with the regular report passes 10 minutes apart so that only
# the kernel's change notices can explain what is seen: lan1 (the main group's necessary line)
# and lan2 (the backup group's) are reported out of turn when their addresses change, also while
# lan1's service swallows every packet; lan1's carrier loss brings the backup group up at once
# and the main group comes back only after the hold time. Needs root and ip netns; skips (77)
# elsewhere.
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$2" && pwd)
source "$root/scripts/lab/enter.sh"
lab_enter e "$build" "$root"

lab_client_work "$build"
now_ms() { echo $(($(date +%s%N) / 1000000)); }
# Waits (at most $1 seconds) until a report from $3 reached the service at $2.
await_report() {
  local deadline=$(($(now_ms) + $1 * 1000))
  while (($(now_ms) < deadline)); do
    (($(line_reports_from "$2" "$3") > 0)) && return 0
    sleep 0.05
  done
  return 1
}

# Removing a line's primary address promotes the next one instead of flushing it.
cli sysctl -qw net.ipv4.conf.lan1.promote_secondaries=1 net.ipv4.conf.lan2.promote_secondaries=1
vorta=("$build/src/app/vorta" --data-dir "$work/data")
"${vorta[@]}" config set UserName demo
"${vorta[@]}" config set UserPwd demo123
"${vorta[@]}" config set HoldDown 2 >/dev/null
"${vorta[@]}" lines add --kind lan --entry lan1 --main --necessary >/dev/null
"${vorta[@]}" lines add --kind lan --entry lan2 --backup >/dev/null
ip netns exec "$NS_CLIENT" "${vorta[@]}" --headless \
  --service-url http://service.vorta.example:8080/vorta/vorta.dll/ \
  --line-url-template 'http://line%s.vorta.example:8080/vorta/vorta.dll/' --update-rest 600 \
  2>"$work/client.log" &
client=$!
started=$(now_ms)

status=
line_of() { grep -o "{[^{}]*\"entryName\":\"$1\"[^{}]*}" <<<"$status" || true; }
# Waits (at most $1 seconds) until the status satisfies the test "${@:2}".
wait_status() {
  local deadline=$(($(now_ms) + $1 * 1000))
  while (($(now_ms) < deadline)); do
    status=$("${vorta[@]}" status --json 2>/dev/null || true)
    "${@:2}" && return 0
    sleep 0.05
  done
  return 1
}
both_reported() {
  [[ $(line_of lan1) == *"\"address\":\"$LAB_CLIENT_LINE1\""* &&
     $(line_of lan2) == *"\"address\":\"$LAB_CLIENT_LINE2\""* && $status == *'"groupState":0,'* ]]
}
wait_status 30 both_reported || fail "the first pass did not report both lines: $status"

# An address change is reported at once, not at the next pass 10 minutes on.
cli ip addr add 198.51.100.7/24 dev lan1
cli ip addr del "$LAB_CLIENT_LINE1/24" dev lan1
await_report 3 "$LAB_SERVICE_LINE1" 198.51.100.7 || fail "lan1's new address was not reported within 3 s"

# lan1's service now swallows every packet: its report hangs, and lan2's goes on beside it.
ip netns exec "$NS_GW1" ip route add blackhole "$LAB_SERVICE_LINE1/32"
cli ip addr add 198.51.100.8/24 dev lan1
cli ip addr del 198.51.100.7/24 dev lan1
sleep 0.3
cli ip addr add 192.0.2.7/24 dev lan2
cli ip addr del "$LAB_CLIENT_LINE2/24" dev lan2
await_report 3 "$LAB_SERVICE_LINE2" 192.0.2.7 ||
  fail "lan2's new address waited behind lan1's dead service"
(($(line_reports_from "$LAB_SERVICE_LINE1" 198.51.100.8) == 0)) || fail "the blackhole let a report through"
ip netns exec "$NS_GW1" ip route del blackhole "$LAB_SERVICE_LINE1/32"

# Failover at the carrier's loss, well within a keep pass (8 s), three times over; the main
# group is taken back only once lan1 has been up for the 2 s hold time.
# The groups are decided from the end of the first 8 s cycle on.
while (($(now_ms) < started + 9000)); do sleep 0.2; done
failed_over() { [[ $status == *'"groupState":1,'* ]]; }
main_back() { [[ $status == *'"groupState":0,'* ]]; }
for round in 1 2 3; do
  start=$(now_ms)
  ip netns exec "$NS_GW1" ip link set cli down
  wait_status 10 failed_over || fail "round $round: no failover: $status"
  took=$(($(now_ms) - start))
  ((took < 1500)) || fail "round $round: the failover took $took ms"
  start=$(now_ms)
  ip netns exec "$NS_GW1" ip link set cli up
  wait_status 15 main_back || fail "round $round: the main group never came back: $status"
  took=$(($(now_ms) - start))
  ((took >= 2000)) || fail "round $round: the main group came back after $took ms, within the hold time"
  ((took < 5000)) || fail "round $round: the main group came back only after $took ms"
done

kill -TERM "$client"
wait "$client" || fail "the client exited with $?"
client=
echo "line events lab test passed"
