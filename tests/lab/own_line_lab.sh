#!/usr/bin/env bash
# In the multi-line lab, the setups where a report could leave by the wrong line: a client
# without CAP_NET_ADMIN, a point-to-point line without a default route beside a LAN line that
# holds it, and a captive portal behind the line that is not the default route (answering with
# its page, or redirecting to it). Every line reports through itself, or not at all and says why.
# Needs root and ip netns; skips (77) elsewhere.
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$2" && pwd)
source "$root/scripts/lab/enter.sh"
lab_enter o "$build" "$root"

# Inside the lab (lab.sh exported the namespace names). One client runs as nobody, which must
# reach this folder and the program: both are here under /tmp, wherever the build tree is (a home
# folder of mode 0700, say) and whatever TMPDIR is.
work=$(mktemp -d -p /tmp vorta-own-line.XXXXXX)
chmod 755 "$work"
services=()
data=
cleanup() {
  [[ -n $data ]] && stop_client
  stop_services
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  for log in client service1 service2; do
    echo "--- $log log" >&2
    cat "$work/$log.log" >&2 || true
  done
  exit 1
}
vorta=$build/src/app/vorta
client_program=$vorta # what start_client runs

# start_services [OPTIONS FOR LINE 2'S SERVICE...]
# ip netns exec becomes the service, so $! is the service itself.
start_services() {
  ip netns exec "$NS_SERVICE" "$build/tools/devservice/vorta-devservice" --host "$LAB_SERVICE_LINE1" \
    --port 8080 --quiet >"$work/service1.log" 2>&1 &
  services+=($!)
  ip netns exec "$NS_SERVICE" "$build/tools/devservice/vorta-devservice" --host "$LAB_SERVICE_LINE2" \
    --port 8080 --quiet "$@" >"$work/service2.log" 2>&1 &
  services+=($!)
  for _ in $(seq 100); do
    records "$LAB_SERVICE_LINE1" >/dev/null 2>&1 && records "$LAB_SERVICE_LINE2" >/dev/null 2>&1 && return
    sleep 0.05
  done
  fail "the services did not start"
}
stop_services() {
  ((${#services[@]})) || return 0
  kill "${services[@]}" 2>/dev/null || true
  wait "${services[@]}" 2>/dev/null || true
  services=()
}
records() { svc curl -s "http://$1:8080/control/records"; }
# Requests of any kind that reached service host $1 from address $2.
requests_from() {
  local seen
  seen=$(records "$1")
  grep -c "\"remoteAddr\": \"$2\"" <<<"$seen" || true
}
# Line reports that reached service host $1 from address $2.
reports_from() {
  local seen
  seen=$(records "$1" | sed -n '/"lineReports"/,/"networkUploads"/p')
  grep -c "\"remoteAddr\": \"$2\"" <<<"$seen" || true
}

# new_client NAME: a data dir with the demo account.
new_client() {
  data=$work/$1
  "$vorta" --data-dir "$data" config set UserName demo
  "$vorta" --data-dir "$data" config set UserPwd demo123
}
# start_client [RUNNER...]: the headless client of $data in the client host.
start_client() {
  cli "$@" "$client_program" --data-dir "$data" --headless \
    --service-url http://service.vorta.example:8080/vorta/vorta.dll/ \
    --line-url-template 'http://line%s.vorta.example:8080/vorta/vorta.dll/' \
    --probe-url http://probe.vorta.example:8080/logo1.gif --update-rest 1 \
    2>"$work/client.log" &
  client=$!
}
stop_client() {
  # ip netns exec waits for the client as its child: stop the client itself.
  pkill -TERM -f "^$client_program --data-dir $data --headless" || true
  wait "$client" 2>/dev/null || true
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

echo "-- a client without CAP_NET_ADMIN reports no line through another"
as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
# nobody may not reach the build tree (a home folder of mode 0700, say): it runs a copy from here.
cp "$vorta" "$work/vorta"
if ! "${as_nobody[@]}" env "$work/vorta" --version >/dev/null 2>&1; then
  echo "note: nobody cannot run $work/vorta (/tmp mounted noexec?); this case is skipped"
else
  client_program=$work/vorta
  start_services
  new_client unprivileged
  "$vorta" --data-dir "$data" lines add --kind lan --entry lan1 >/dev/null
  "$vorta" --data-dir "$data" lines add --kind lan --entry lan2 >/dev/null
  mkdir -p "$work/home"
  chown -R nobody:nogroup "$data" "$work/home"
  # In English, as a user outside a Chinese locale reads it.
  start_client "${as_nobody[@]}" env HOME="$work/home" LANGUAGE=en
  refused="route refused: Operation not permitted"
  await_status "$(line_json lan1 "" "$refused")" "$(line_json lan2 "" "$refused")"
  sleep 2 # a few more passes
  (($(reports_from "$LAB_SERVICE_LINE1" "$LAB_CLIENT_LINE1") == 0)) || fail "line 1 reported by the default way"
  (($(requests_from "$LAB_SERVICE_LINE2" "$LAB_CLIENT_LINE1") == 0)) || fail "line 2's report left by line 1"
  (($(reports_from "$LAB_SERVICE_LINE2" "$LAB_CLIENT_LINE2") == 0)) || fail "line 2 reported without its route"
  n=$(grep -c "not reported: $refused" "$work/client.log" || true)
  ((n == 2)) || fail "the refusal should be logged once per line, not $n times"
  stop_client
  client_program=$vorta
  stop_services
fi

echo "-- a point-to-point line without a default route reports through its own interface"
start_services
new_client ppp
mkdir -p "$work/peers" "$work/run"
# The far end of the link sits in line 2's gateway; lan2 itself is out of the picture.
printf 'fake-mode up ppp7 192.0.2.77 192.0.2.1 %s\n' "$NS_GW2" >"$work/peers/isp"
cli ip link set lan2 down
"$vorta" --data-dir "$data" lines add --kind lan --entry lan1 >/dev/null
"$vorta" --data-dir "$data" lines add --kind dialup --entry ISP --user alice --password secret >/dev/null
start_client env VORTA_PPPD="$root/tests/fakes/fake-pppd" VORTA_PPP_PEERS_DIR="$work/peers" \
  VORTA_PPP_RUN_DIR="$work/run" FAKE_PPPD_PEERS="$work/peers" FAKE_PPPD_RUNDIR="$work/run"
await_status "$(line_json lan1 "$LAB_CLIENT_LINE1" "")" "$(line_json ISP 192.0.2.77 "")"
cli ip route show default | grep -q ppp7 && fail "the test link should hold no default route"
for _ in $(seq 100); do (($(reports_from "$LAB_SERVICE_LINE2" 192.0.2.77) > 0)) && break; sleep 0.1; done
(($(reports_from "$LAB_SERVICE_LINE2" 192.0.2.77) > 0)) || fail "no report of line 2 through ppp7"
(($(requests_from "$LAB_SERVICE_LINE2" "$LAB_CLIENT_LINE1") == 0)) || fail "line 2's report left by line 1"
(($(reports_from "$LAB_SERVICE_LINE1" "$LAB_CLIENT_LINE1") > 0)) || fail "no report of line 1"
[[ $(cli ip route show "$LAB_SERVICE_LINE2") == *"dev ppp7"* ]] || fail "no device route through ppp7"
stop_client
[[ -z $(cli ip route show "$LAB_SERVICE_LINE1") && -z $(cli ip route show "$LAB_SERVICE_LINE2") ]] ||
  fail "host routes outlived the client"
[[ -f $work/run/ppp-isp.pid ]] && kill "$(head -1 "$work/run/ppp-isp.pid")" 2>/dev/null || true
for _ in $(seq 50); do cli ip link show ppp7 >/dev/null 2>&1 || break; sleep 0.1; done
cli ip link set lan2 up
cli ip route replace default via 192.0.2.1 dev lan2 metric 200
stop_services

for style in --portal --portal-redirect; do
  echo "-- a captive portal ($style) on the line that is not the default route is logged on"
  start_services "$style"
  new_client "portal$style"
  "$vorta" --data-dir "$data" lines add --kind lan --entry lan1 >/dev/null
  "$vorta" --data-dir "$data" lines add --kind weblogin --entry lan2 --user demo --password demo123 >/dev/null
  start_client
  await_status "$(line_json lan2 "$LAB_CLIENT_LINE2" "")"
  logons=$(records "$LAB_SERVICE_LINE2" | tr -d ' \n' | grep -o '"portalLogons":\[[^]]*\]')
  [[ $logons == "\"portalLogons\":[\"$LAB_CLIENT_LINE2\"]" ]] || fail "the portal saw these logons: $logons"
  (($(requests_from "$LAB_SERVICE_LINE2" "$LAB_CLIENT_LINE1") == 0)) || fail "the probe or the form left by line 1"
  stop_client
  stop_services
done
echo "own-line lab test passed"
