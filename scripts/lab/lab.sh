#!/usr/bin/env bash
# The multi-line lab: network namespaces made here, documentation addresses only, nothing
# routed out of them.
#
#   client host (NS_CLIENT)  lan1 198.51.100.2/24 --- gw1 198.51.100.1 | 203.0.113.1/28 ---+
#                            lan2 192.0.2.2/24    --- gw2 192.0.2.1    | 203.0.113.17/28 --+-- service host (NS_SERVICE)
#                                                                                            203.0.113.100 (line1.vorta.example)
#                                                                                            203.0.113.101 (line2.vorta.example)
# lan1 is the default route (metric 100), lan2 the second one (metric 200). The service host
# routes each client network back through its own gateway, without address translation, so
# the service sees which line a request came by.
#
# Usage (root): lab.sh up ID | lab.sh down ID | lab.sh run ID COMMAND... (up, run COMMAND with
# the namespace names in its environment, down again however it ends).
set -euo pipefail

id=${2:-lab}
NS_CLIENT=vorta-$id-client
NS_GW1=vorta-$id-gw1
NS_GW2=vorta-$id-gw2
NS_SERVICE=vorta-$id-service
export NS_CLIENT NS_GW1 NS_GW2 NS_SERVICE
export LAB_SERVICE_LINE1=203.0.113.100 LAB_SERVICE_LINE2=203.0.113.101
export LAB_CLIENT_LINE1=198.51.100.2 LAB_CLIENT_LINE2=192.0.2.2

in_ns() { ip netns exec "$1" "${@:2}"; }

down() {
  for ns in "$NS_CLIENT" "$NS_GW1" "$NS_GW2" "$NS_SERVICE"; do
    ip netns pids "$ns" 2>/dev/null | xargs -r kill 2>/dev/null || true
    ip netns del "$ns" 2>/dev/null || true
    rm -rf "/etc/netns/$ns"
  done
}

up() {
  down
  for ns in "$NS_CLIENT" "$NS_GW1" "$NS_GW2" "$NS_SERVICE"; do
    ip netns add "$ns"
    in_ns "$ns" ip link set lo up
  done
  # Client lines to their gateways.
  ip link add lan1 netns "$NS_CLIENT" type veth peer name cli netns "$NS_GW1"
  ip link add lan2 netns "$NS_CLIENT" type veth peer name cli netns "$NS_GW2"
  # Gateways to the service host.
  ip link add up1 netns "$NS_GW1" type veth peer name gw1 netns "$NS_SERVICE"
  ip link add up2 netns "$NS_GW2" type veth peer name gw2 netns "$NS_SERVICE"

  in_ns "$NS_CLIENT" ip addr add 198.51.100.2/24 dev lan1
  in_ns "$NS_CLIENT" ip addr add 192.0.2.2/24 dev lan2
  in_ns "$NS_GW1" ip addr add 198.51.100.1/24 dev cli
  in_ns "$NS_GW1" ip addr add 203.0.113.1/28 dev up1
  in_ns "$NS_GW2" ip addr add 192.0.2.1/24 dev cli
  in_ns "$NS_GW2" ip addr add 203.0.113.17/28 dev up2
  in_ns "$NS_SERVICE" ip addr add 203.0.113.2/28 dev gw1
  in_ns "$NS_SERVICE" ip addr add 203.0.113.18/28 dev gw2
  in_ns "$NS_SERVICE" ip addr add 203.0.113.100/32 dev lo
  in_ns "$NS_SERVICE" ip addr add 203.0.113.101/32 dev lo
  for pair in "$NS_CLIENT lan1" "$NS_CLIENT lan2" "$NS_GW1 cli" "$NS_GW1 up1" "$NS_GW2 cli" "$NS_GW2 up2" \
              "$NS_SERVICE gw1" "$NS_SERVICE gw2"; do
    set -- $pair
    in_ns "$1" ip link set "$2" up
  done
  for gw in "$NS_GW1" "$NS_GW2"; do
    in_ns "$gw" sysctl -qw net.ipv4.ip_forward=1
    in_ns "$gw" sysctl -qw net.ipv4.conf.all.rp_filter=0
  done
  in_ns "$NS_GW1" ip route add 203.0.113.96/28 via 203.0.113.2
  in_ns "$NS_GW2" ip route add 203.0.113.96/28 via 203.0.113.18
  in_ns "$NS_SERVICE" ip route add 198.51.100.0/24 via 203.0.113.1
  in_ns "$NS_SERVICE" ip route add 192.0.2.0/24 via 203.0.113.17
  in_ns "$NS_CLIENT" ip route add default via 198.51.100.1 dev lan1 metric 100
  in_ns "$NS_CLIENT" ip route add default via 192.0.2.1 dev lan2 metric 200

  # The per-line host names, for the client host only (ip netns exec binds this file).
  mkdir -p "/etc/netns/$NS_CLIENT"
  # probe.vorta.example is the web-login probe; it sits behind line 2's service address, where a
  # lab test may run a captive portal.
  printf '127.0.0.1 localhost\n%s line1.vorta.example\n%s line2.vorta.example\n%s service.vorta.example\n%s probe.vorta.example\n' \
    "$LAB_SERVICE_LINE1" "$LAB_SERVICE_LINE2" "$LAB_SERVICE_LINE1" "$LAB_SERVICE_LINE2" >"/etc/netns/$NS_CLIENT/hosts"
}

case ${1:-} in
  up) up ;;
  down) down ;;
  run)
    shift 2
    trap down EXIT
    up
    "$@"
    ;;
  *)
    echo "usage: $0 up ID | down ID | run ID COMMAND..." >&2
    exit 2
    ;;
esac
