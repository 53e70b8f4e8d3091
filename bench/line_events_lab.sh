#!/usr/bin/env bash
# How soon the service knows, in the multi-line lab (root; namespaces of its own): a running
# client's address changes to their report at the service (20 changes), the necessary main
# line's carrier loss to the backup group (10 times) and its return to the main group after the
# hold time, and a live line's address changes while the other line's service swallows every
# packet (10 changes). Each figure is printed with its goal and PASS or MISS.
# Usage: bench/line_events_lab.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
[[ -x $build/src/app/vorta ]] || { echo "no $build/src/app/vorta: build first" >&2; exit 2; }
source "$root/scripts/lab/enter.sh"
lab_enter bench "$build"

lab_client_work "$build"
now_ms() { echo $(($(date +%s%N) / 1000000)); }
verdict() { if (($1 <= $2)); then echo PASS; else echo MISS; fi; }
# The service's time (ms since the epoch) of the first report from $2 at the service at $1;
# empty while there is none.
report_time() {
  records "$1" | python3 -c '
import datetime, json, sys
seen = [r["time"] for r in json.load(sys.stdin)["lineReports"] if r["remoteAddr"] == sys.argv[1]]
if seen:
    t = datetime.datetime.strptime(min(seen), "%Y-%m-%dT%H:%M:%S.%fZ").replace(tzinfo=datetime.timezone.utc)
    print(int(t.timestamp() * 1000))' "$2"
}
# Median and worst of the numbers on standard input: "MEDIAN WORST".
summary() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)], v[NR] }'; }

cli sysctl -qw net.ipv4.conf.lan1.promote_secondaries=1 net.ipv4.conf.lan2.promote_secondaries=1
vorta=("$build/src/app/vorta" --data-dir "$work/data")
"${vorta[@]}" config set UserName demo >/dev/null
"${vorta[@]}" config set UserPwd demo123 2>/dev/null >/dev/null
"${vorta[@]}" lines add --kind lan --entry lan1 --main --necessary >/dev/null
"${vorta[@]}" lines add --kind lan --entry lan2 --backup >/dev/null
# The regular passes are the default 40 s apart: what comes sooner comes from the notices.
ip netns exec "$NS_CLIENT" "${vorta[@]}" --headless \
  --service-url http://service.vorta.example:8080/vorta/vorta.dll/ \
  --line-url-template 'http://line%s.vorta.example:8080/vorta/vorta.dll/' 2>"$work/client.log" &
client=$!
status=
wait_status() {
  local deadline=$(($(now_ms) + $1 * 1000))
  while (($(now_ms) < deadline)); do
    status=$("${vorta[@]}" status --json 2>/dev/null || true)
    [[ $status == *"$2"* ]] && return 0
    sleep 0.01
  done
  return 1
}
wait_status 30 '"groupState":0,' || { echo "the client never came up"; cat "$work/client.log"; exit 1; }
for _ in $(seq 300); do
  [[ -n $(report_time "$LAB_SERVICE_LINE1" "$LAB_CLIENT_LINE1") &&
     -n $(report_time "$LAB_SERVICE_LINE2" "$LAB_CLIENT_LINE2") ]] && break
  sleep 0.1
done

# `change DEV SERVICE OLD NEW`: NEW added, OLD removed; prints the ms from the removal to the
# service's first report from NEW (9999 when none came within 5 s).
change() {
  cli ip addr add "$4/24" dev "$1"
  cli ip addr del "$3/24" dev "$1"
  local start seen
  start=$(now_ms)
  for _ in $(seq 250); do
    seen=$(report_time "$2" "$4")
    [[ -n $seen ]] && { echo $((seen > start ? seen - start : 0)); return; }
    sleep 0.02
  done
  echo 9999
}

old=$LAB_CLIENT_LINE1
: >"$work/changes"
for n in $(seq 10 29); do
  change lan1 "$LAB_SERVICE_LINE1" "$old" "198.51.100.$n" >>"$work/changes"
  old=198.51.100.$n
  sleep 1.2  # beyond the once-a-second limit of a line's reports
done
read -r median worst < <(summary <"$work/changes")
echo "address change to report: median $median ms, worst $worst ms over 20 goal worst <= 1000 ms: $(verdict "$worst" 1000)"

: >"$work/failovers"
: >"$work/returns"
for _ in $(seq 10); do
  start=$(now_ms)
  ip netns exec "$NS_GW1" ip link set cli down
  wait_status 10 '"groupState":1,' || true
  echo $(($(now_ms) - start)) >>"$work/failovers"
  start=$(now_ms)
  ip netns exec "$NS_GW1" ip link set cli up
  wait_status 20 '"groupState":0,' || true
  echo $(($(now_ms) - start)) >>"$work/returns"
done
read -r median worst < <(summary <"$work/failovers")
echo "main line's carrier lost to backup group up: median $median ms, worst $worst ms over 10 goal worst <= 500 ms: $(verdict "$worst" 500)"
read -r median worst < <(summary <"$work/returns")
echo "main line back to main group: median $median ms, worst $worst ms over 10 (hold time 5000 ms)" \
  "goal >= 5000 ms and <= 5500 ms: $( ((${worst} <= 5500 && $(sort -n "$work/returns" | head -1) >= 5000)) && echo PASS || echo MISS)"

ip netns exec "$NS_GW1" ip route add blackhole "$LAB_SERVICE_LINE1/32"
old1=$old
old=$LAB_CLIENT_LINE2
: >"$work/live"
for n in $(seq 10 19); do
  # lan1 changes too, so that a report of it hangs on the dead service meanwhile.
  cli ip addr add "198.51.100.$((n + 30))/24" dev lan1
  cli ip addr del "$old1/24" dev lan1
  old1=198.51.100.$((n + 30))
  sleep 0.2
  change lan2 "$LAB_SERVICE_LINE2" "$old" "192.0.2.$n" >>"$work/live"
  old=192.0.2.$n
  sleep 1.2
done
read -r median worst < <(summary <"$work/live")
echo "live line's address change to report beside a dead line's service: median $median ms, worst $worst ms over 10 goal worst <= 1000 ms: $(verdict "$worst" 1000)"
