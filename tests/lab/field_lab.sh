#!/usr/bin/env bash
# In the multi-line lab, setups of the field the other labs leave out: an https line URL on its
# default port, a service that fails (the line says why and when it last reported), a captive
# portal on the line's own gateway, and a stop while a name lookup never returns (the client
# ends at once and takes its routes with it). Needs root and ip netns; skips (77) elsewhere.
set -euo pipefail
[[ -n ${LAB_TRACE:-} ]] && set -x
build=$(cd "$1" && pwd)
root=$(cd "$2" && pwd)
source "$root/scripts/lab/enter.sh"
lab_enter f "$build" "$root"

# Inside the lab (lab.sh exported the namespace names).
work=$(mktemp -d)
services=()
data=
client=
cleanup() {
  [[ -n $data ]] && stop_client
  stop_services
  rm -f "/etc/netns/$NS_CLIENT/resolv.conf"
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  for log in "$work"/*.log; do
    echo "--- $log" >&2
    tail -n 40 "$log" >&2 || true
  done
  exit 1
}
vorta="$build/src/app/vorta"
devservice="$build/tools/devservice/vorta-devservice"

# A test authority of its own and one certificate for every lab name and service address.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=vorta-lab-ca \
  -keyout "$work/ca.key" -out "$work/ca.pem" >/dev/null 2>&1
openssl req -newkey rsa:2048 -nodes -subj /CN=line1.vorta.example \
  -keyout "$work/service.key" -out "$work/service.csr" >/dev/null 2>&1
printf 'subjectAltName=DNS:*.vorta.example,IP:%s,IP:%s\n' "$LAB_SERVICE_LINE1" "$LAB_SERVICE_LINE2" \
  >"$work/san.cnf"
openssl x509 -req -in "$work/service.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" \
  -CAcreateserial -days 2 -extfile "$work/san.cnf" -out "$work/service.pem" >/dev/null 2>&1

# https services on port 443 at both service addresses; ip netns exec becomes the service.
start_services() {
  for address in "$LAB_SERVICE_LINE1" "$LAB_SERVICE_LINE2"; do
    svc "$devservice" --host "$address" --port 443 --tls-cert "$work/service.pem" \
      --tls-key "$work/service.key" --quiet >"$work/service-$address.log" 2>&1 &
    services+=($!)
  done
  for _ in $(seq 100); do
    records "$LAB_SERVICE_LINE1" >/dev/null 2>&1 && records "$LAB_SERVICE_LINE2" >/dev/null 2>&1 && return
    sleep 0.05
  done
  fail "the https services did not start"
}
stop_services() {
  ((${#services[@]})) || return 0
  kill "${services[@]}" 2>/dev/null || true
  wait "${services[@]}" 2>/dev/null || true
  services=()
}
control() { svc curl -sf --cacert "$work/ca.pem" "https://$1/control/$2" "${@:3}"; }
records() { control "$1" records; }
# Line reports that reached service host $1 from address $2.
reports_from() {
  local seen
  seen=$(records "$1" | sed -n '/"lineReports"/,/"networkUploads"/p')
  grep -c "\"remoteAddr\": \"$2\"" <<<"$seen" || true
}

new_client() {
  data=$work/$1
  "$vorta" --data-dir "$data" config set UserName demo
  "$vorta" --data-dir "$data" config set UserPwd demo123
}
# start_client TEMPLATE [OPTIONS...]: the headless client of $data in the client host.
start_client() {
  cli env VORTA_TEST_CA_FILE="$work/ca.pem" "$vorta" --data-dir "$data" --headless \
    --service-url "https://service.vorta.example/vorta/vorta.dll/" --line-url-template "$1" \
    --update-rest 1 "${@:2}" 2>"$work/client.log" &
  client=$!
}
# stop_client: SIGTERM, and the seconds (with tenths) until the client was gone.
stop_client() {
  local started=$(date +%s%N)
  pkill -TERM -f "^$vorta --data-dir $data --headless" || true
  wait "$client" 2>/dev/null || true
  stopped_after=$((($(date +%s%N) - started) / 100000000))
  data=
}
status() { "$vorta" --data-dir "$data" status --json 2>/dev/null || true; }
# await_status TEXT...: until the status holds every TEXT; fails after 20 s.
await_status() {
  local now
  for _ in $(seq 200); do
    now=$(status)
    local all=1
    for text in "$@"; do [[ $now == *"$text"* ]] || all=0; done
    ((all)) && return 0
    sleep 0.1
  done
  fail "status never showed $*: $now"
}
line_json() { printf '"entryName":"%s","necessary":false,"address":"%s","reason":"%s"' "$1" "$2" "$3"; }

echo "-- an https line URL on its default port reaches each line's own service host"
start_services
new_client https
"$vorta" --data-dir "$data" lines add --kind lan --entry lan1 >/dev/null
"$vorta" --data-dir "$data" lines add --kind lan --entry lan2 >/dev/null
start_client 'https://line%s.vorta.example/vorta/vorta.dll/'
await_status "$(line_json lan1 "$LAB_CLIENT_LINE1" "")" "$(line_json lan2 "$LAB_CLIENT_LINE2" "")"
(($(reports_from "$LAB_SERVICE_LINE1" "$LAB_CLIENT_LINE1") > 0)) || fail "no https report of line 1 through gateway 1"
(($(reports_from "$LAB_SERVICE_LINE2" "$LAB_CLIENT_LINE2") > 0)) || fail "no https report of line 2 through gateway 2"
[[ $(status) == *'"reportedAt":"20'* ]] || fail "a reported line shows no time of its report: $(status)"

echo "-- a failing service puts its reason on the line within two passes; a good report clears it"
control "$LAB_SERVICE_LINE1" fault -X POST -d '{"exchange": "lineReport", "status": 500}' >/dev/null ||
  fail "the fault could not be set"
await_status "\"entryName\":\"lan1\",\"necessary\":false,\"address\":\"$LAB_CLIENT_LINE1\",\"reason\":\"向 https://line1.vorta.example/vorta/vorta.dll/ 报告失败：status 500\",\"reportedAt\":\"20"
control "$LAB_SERVICE_LINE1" fault -X POST -d '{"exchange": "lineReport", "result": "101"}' >/dev/null
await_status '"entryName":"lan1","necessary":false,"address":"'"$LAB_CLIENT_LINE1"'","reason":"服务应答 101 '
control "$LAB_SERVICE_LINE1" reset -d "{}" >/dev/null || fail "the service could not be reset"
await_status "$(line_json lan1 "$LAB_CLIENT_LINE1" "")"
grep -q "线路 1（lan1）未报告：向 https://line1.vorta.example/vorta/vorta.dll/ 报告失败：status 500" \
  "$work/client.log" || fail "the reason did not reach the log"
stop_client

echo "-- a captive portal on the line's own gateway is reached on the line and logged on"
# The gateway itself answers the probe with its login page, whose form posts to the gateway.
ip netns exec "$NS_GW1" "$devservice" --host 198.51.100.1 --port 80 --portal --quiet \
  >"$work/portal.log" 2>&1 &
services+=($!)
for _ in $(seq 100); do
  ip netns exec "$NS_GW1" curl -sf http://198.51.100.1/control/records >/dev/null && break
  sleep 0.05
done
new_client portal
"$vorta" --data-dir "$data" lines add --kind weblogin --entry lan1 --user demo --password demo123 >/dev/null
start_client 'https://line%s.vorta.example/vorta/vorta.dll/' --probe-url http://198.51.100.1/logo1.gif
logons=
for _ in $(seq 200); do
  logons=$(ip netns exec "$NS_GW1" curl -s http://198.51.100.1/control/records | tr -d ' \n' |
    grep -o '"portalLogons":\[[^]]*\]' || true)
  [[ $logons == "\"portalLogons\":[\"$LAB_CLIENT_LINE1\"]" ]] && break
  sleep 0.1
done
[[ $logons == "\"portalLogons\":[\"$LAB_CLIENT_LINE1\"]" ]] || fail "the gateway's portal saw these logons: $logons"
[[ -z $(cli ip route show 198.51.100.1/32) ]] || fail "the portal on the line's own network got a host route"
await_status "$(line_json lan1 "$LAB_CLIENT_LINE1" "")"
stop_client

echo "-- SIGTERM while a name lookup never returns ends the client at once, routes and all"
# Line 1's name is in the hosts file (and the logon's, whose exchange would hold the others up);
# line 2's goes to a name server that drops every query.
printf '127.0.0.1 localhost\n%s stall1.vorta.example service.vorta.example\n' "$LAB_SERVICE_LINE1" \
  >"/etc/netns/$NS_CLIENT/hosts"
printf 'nameserver 203.0.113.110\noptions timeout:30 attempts:3\n' >"/etc/netns/$NS_CLIENT/resolv.conf"
new_client stall
"$vorta" --data-dir "$data" lines add --kind lan --entry lan1 >/dev/null
"$vorta" --data-dir "$data" lines add --kind lan --entry lan2 >/dev/null
start_client 'https://stall%s.vorta.example/vorta/vorta.dll/'
await_status "$(line_json lan1 "$LAB_CLIENT_LINE1" "")"
[[ -n $(cli ip route show "$LAB_SERVICE_LINE1/32") ]] || fail "line 1 holds no host route"
sleep 1.5 # line 2's lookup is under way by now and will not return for minutes
stop_client
echo "   stopped $((stopped_after / 10)).$((stopped_after % 10)) s after SIGTERM"
((stopped_after <= 20)) || fail "the client took $((stopped_after / 10)).$((stopped_after % 10)) s to stop"
[[ -z $(cli ip route show "$LAB_SERVICE_LINE1/32") ]] || fail "the host route outlived the client"
# Had line 2's lookup come back, the test would not have stopped the client during one.
grep -q "stall2.vorta.example" "$work/client.log" && fail "line 2's lookup returned after all"
stop_services
echo "field lab test passed"
