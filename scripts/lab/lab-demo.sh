#!/usr/bin/env bash
# The two-line demo, run inside the lab: lab.sh run ID lab-demo.sh BUILD_DIR [client options...]
# Two development services on the service host (line1 and line2.vorta.example), a headless
# client with lines lan1 and lan2 on the client host, and a view refreshed every
# VORTA_DEMO_REFRESH seconds (default 3): the client's status, the reports each service host
# received by source address, and the client's latest log lines. Runs until Ctrl-C, or for
# VORTA_DEMO_SECONDS and then says whether each line reported through its own gateway.
set -euo pipefail
build=$(cd "$1" && pwd)
shift
: "${NS_CLIENT:?run me through lab.sh run ID $0 BUILD_DIR}"
seconds=${VORTA_DEMO_SECONDS:-}
refresh=${VORTA_DEMO_REFRESH:-3}
[[ -z $seconds || $seconds =~ ^[1-9][0-9]*$ ]] || { echo "VORTA_DEMO_SECONDS: a number of seconds" >&2; exit 2; }
[[ $refresh =~ ^[1-9][0-9]*$ ]] || { echo "VORTA_DEMO_REFRESH: a number of seconds" >&2; exit 2; }

work=$(mktemp -d)
svc() { ip netns exec "$NS_SERVICE" "$@"; }
cli() { ip netns exec "$NS_CLIENT" "$@"; }

# Stops what this script started in the two namespaces (lab.sh then removes them).
stop_in() {
  local pids
  mapfile -t pids < <(ip netns pids "$1" 2>/dev/null)
  ((${#pids[@]})) || return 0
  kill -TERM "${pids[@]}" 2>/dev/null || true
  for _ in $(seq 50); do
    [[ -n $(ip netns pids "$1" 2>/dev/null) ]] || return 0
    sleep 0.1
  done
  kill -KILL "${pids[@]}" 2>/dev/null || true
}
cleanup() {
  trap '' HUP INT TERM
  echo "stopping the client and the services"
  stop_in "$NS_CLIENT"
  stop_in "$NS_SERVICE"
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

hosts=("$LAB_SERVICE_LINE1" "$LAB_SERVICE_LINE2")
names=(line1.vorta.example line2.vorta.example)
for address in "${hosts[@]}"; do
  svc "$build/tools/devservice/vorta-devservice" --host "$address" --port 8080 --quiet \
    >"$work/service-$address.log" 2>&1 &
done
records() { svc curl -sf --max-time 2 "http://$1:8080/control/records"; }
for address in "${hosts[@]}"; do
  for _ in $(seq 100); do
    records "$address" >/dev/null 2>&1 && break
    sleep 0.05
  done
  records "$address" >/dev/null 2>&1 || { echo "the service at $address did not start:" >&2; cat "$work/service-$address.log" >&2; exit 1; }
done

vorta=("$build/src/app/vorta" --data-dir "$work/data")
"${vorta[@]}" config set UserName demo
printf 'demo123\n' | "${vorta[@]}" config set UserPwd -
"${vorta[@]}" config set AutoLogon 1
"${vorta[@]}" lines add --kind lan --entry lan1 >/dev/null
"${vorta[@]}" lines add --kind lan --entry lan2 >/dev/null
cli "${vorta[@]}" --headless --service-url http://service.vorta.example:8080/vorta/vorta.dll/ \
  --line-url-template 'http://line%s.vorta.example:8080/vorta/vorta.dll/' --update-rest 3 "$@" \
  2>"$work/client.log" &
# The first view waits for the client to answer.
for _ in $(seq 50); do
  "${vorta[@]}" status >/dev/null 2>&1 && break
  sleep 0.1
done

# "COUNT SOURCE" for every source address among a host's line reports.
tally() {
  { records "$1" || true; } | awk '
    /^  "lineReports": \[$/ { on = 1; next }
    on && /^  \]/ { on = 0 }
    on && /^      "remoteAddr": / { from = $2; gsub(/[",]/, "", from); n[from]++ }
    END { for (k in n) print n[k], k }' | sort -k2
}
via() {
  case $1 in
    "$LAB_CLIENT_LINE1") echo "lan1, through gateway 1" ;;
    "$LAB_CLIENT_LINE2") echo "lan2, through gateway 2" ;;
    *) echo "unknown" ;;
  esac
}
# "OWN OTHER": host N's reports from line N's own address, and from any other.
own_and_other() {
  local client=$LAB_CLIENT_LINE1
  [[ $1 == 1 ]] || client=$LAB_CLIENT_LINE2
  tally "${hosts[$1 - 1]}" | awk -v from="$client" '
    $2 == from { own += $1; next } { other += $1 } END { print own + 0, other + 0 }'
}

view() {
  local elapsed=$1 i n count from
  echo "Vorta two-line lab: each line reports through its own gateway (every ${refresh} s; $([[ -n $seconds ]] && echo "ends after $seconds s" || echo "Ctrl-C ends"))"
  echo "  client host: lan1 $LAB_CLIENT_LINE1 via gateway 1 198.51.100.1, lan2 $LAB_CLIENT_LINE2 via gateway 2 192.0.2.1"
  echo "  service host: ${names[0]} ${hosts[0]}, ${names[1]} ${hosts[1]}"
  echo "  try: ip netns exec $NS_CLIENT ip link set lan2 down   (and up again)"
  echo
  echo "\$ vorta status"
  "${vorta[@]}" status 2>&1 | sed 's/^/  /' || true
  echo
  echo "line reports received, by service host and source address:"
  for i in 1 2; do
    echo "  ${names[i - 1]} (${hosts[i - 1]}):"
    count=0
    while read -r n from; do
      echo "    from $from ($(via "$from")): $n"
      count=$((count + 1))
    done < <(tally "${hosts[i - 1]}")
    ((count)) || echo "    none yet"
  done
  echo
  echo "client log, latest:"
  tail -n 6 "$work/client.log" | sed 's/^/  /'
}

start=$SECONDS
while :; do
  elapsed=$((SECONDS - start))
  frame=$(view "$elapsed")
  # On a terminal the view replaces the last one; elsewhere the views follow one another.
  if [[ -t 1 ]]; then printf '\033[H\033[2J'; else echo "======== after ${elapsed} s"; fi
  printf '%s\n' "$frame"
  [[ -n $(ip netns pids "$NS_CLIENT" 2>/dev/null) ]] || { echo "the client ended:" >&2; tail -n 20 "$work/client.log" >&2; exit 1; }
  if [[ -n $seconds ]] && ((elapsed >= seconds)); then break; fi
  sleep "$refresh"
done

ok=1
for i in 1 2; do
  read -r own other < <(own_and_other "$i")
  echo "line $i: $own reports through its own gateway, $other by another way"
  ((own > 0 && other == 0)) || ok=0
done
((ok))
