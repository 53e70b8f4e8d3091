#!/usr/bin/env bash
# End to end: a master host and a LAN backup host on one LAN (namespaces made here, joined by a
# bridge, documentation addresses only). A backup knows nothing of its master at start and keeps
# its lines; it releases them while the master says "ACTIVE", takes over when the master falls
# silent or says "CLOSE", and releases again when "ACTIVE" returns. A backup started beside a
# master that is already up releases at the master's next heartbeat. A backup whose heartbeat
# port another program holds runs on without the pair and hears the master once the port is
# free. Heartbeats that an unprivileged user sends from the backup's own host change nothing.
# The heartbeat interval is shortened to 1 s for the test. Needs root and ip netns; skips (77)
# elsewhere.
set -euo pipefail
build=$(cd "$1" && pwd)
if [[ $(id -u) != 0 ]]; then
  echo "lab test skipped: it needs root to make network namespaces"
  exit 77
fi
id=p$$
NS_LAN=vorta-$id-lan NS_MASTER=vorta-$id-master NS_BACKUP=vorta-$id-backup
if ! ip netns add "$NS_LAN" 2>/dev/null; then
  echo "lab test skipped: ip netns is not available here"
  exit 77
fi
work=$(mktemp -d)
cleanup() {
  for ns in "$NS_MASTER" "$NS_BACKUP" "$NS_LAN"; do
    ip netns pids "$ns" 2>/dev/null | xargs -r kill 2>/dev/null || true
  done
  wait 2>/dev/null || true
  for ns in "$NS_MASTER" "$NS_BACKUP" "$NS_LAN"; do ip netns del "$ns" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  for log in "$work"/*.log; do echo "--- $log" >&2; cat "$log" >&2; done
  exit 1
}

# LAN 192.0.2.0/24: the gateway 192.0.2.1 on the bridge, the master .10, the backup .11.
ip netns add "$NS_MASTER"
ip netns add "$NS_BACKUP"
ip -n "$NS_LAN" link add br0 type bridge
ip -n "$NS_LAN" addr add 192.0.2.1/24 dev br0
ip -n "$NS_LAN" link set br0 up
host=10
for ns in "$NS_MASTER" "$NS_BACKUP"; do
  ip link add eth0 netns "$ns" type veth peer name "p$host" netns "$NS_LAN"
  ip -n "$NS_LAN" link set "p$host" master br0 up
  ip -n "$ns" link set lo up
  ip -n "$ns" link set eth0 up
  ip -n "$ns" addr add "192.0.2.$host/24" dev eth0
  ip -n "$ns" route add default via 192.0.2.1 dev eth0
  host=$((host + 1))
done

vorta() { "$build/src/app/vorta" --data-dir "$work/$1" "${@:2}"; }
for role in master backup; do
  vorta "$role" lines add --kind lan --entry eth0 --necessary >/dev/null
done
declare -A pid
# Whether the process runs; an ended child that was not waited for yet does not.
alive() {
  local state
  state=$(ps -o stat= -p "$1" 2>/dev/null) && [[ $state != Z* ]]
}
start() {  # ROLE PAIR
  local ns=$NS_MASTER
  [[ $1 == backup ]] && ns=$NS_BACKUP
  VORTA_TEST_HEARTBEAT_INTERVAL=1 ip netns exec "$ns" "$build/src/app/vorta" \
    --data-dir "$work/$1" --headless --pair "$2" --service-url http://127.0.0.1:9/vorta/ \
    2>>"$work/$1.log" &
  pid[$1]=$!
}
stop() {  # ROLE
  kill -TERM "${pid[$1]}" 2>/dev/null || fail "no $1 to stop"
  for _ in $(seq 100); do
    if ! alive "${pid[$1]}"; then
      wait "${pid[$1]}" 2>/dev/null || true
      return 0
    fi
    sleep 0.1
  done
  fail "the $1 did not stop"
}
# Waits up to 20 s for the host's status JSON to hold every given fragment.
expect() {  # ROLE WHAT FRAGMENT...
  local role=$1 what=$2 status=
  shift 2
  for _ in $(seq 200); do
    status=$(vorta "$role" status --json 2>/dev/null || true)
    local all=1
    for fragment; do [[ $status == *"$fragment"* ]] || all=0; done
    ((all)) && return 0
    sleep 0.1
  done
  fail "$what; $role status: $status"
}

# Another program holds the heartbeat port on the backup's host while it starts.
holder=
if command -v python3 >/dev/null; then
  ip netns exec "$NS_BACKUP" python3 -c 'import socket, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("", 6666))
print("held", flush=True)
time.sleep(600)' >"$work/holder.out" &
  holder=$!
  for _ in $(seq 100); do
    grep -q held "$work/holder.out" 2>/dev/null && break
    sleep 0.1
  done
  grep -q held "$work/holder.out" || fail "the heartbeat port could not be held"
else
  echo "python3 is missing: the backup starts with its port free"
fi

# The backup starts alone: it knows nothing of a master and keeps its lines; silence is a change
# from that. With its port held it hears nothing, runs on all the same and falls silent the same
# way.
start backup backup-lan
expect backup "a backup that heard nothing should say so and keep its lines" \
  '"pair":{"role":"backup","peerState":null,' '"linesEnabled":true'
expect backup "a lone backup should report silence and keep its lines" \
  '"pair":{"role":"backup","peerState":2,' '"linesEnabled":true'
if [[ -n $holder ]]; then
  alive "${pid[backup]}" || fail "the backup should run on while its port is held"
  kill "$holder"
  wait "$holder" 2>/dev/null || true
fi

# The master comes up with its line: its "ACTIVE" makes the backup release its lines (with the
# port now free, once the backup's next try binds it).
start master master
expect master "the master should run with its line up" '"role":"master"' '"groupState":0'
expect backup "the backup should release its lines while the master is up" \
  '"peerState":0' '"linesEnabled":false' '"groupState":2'

# The master's process ends: after the silent time-out the backup takes over.
stop master
expect backup "the backup should take over when the master falls silent" \
  '"peerState":2' '"linesEnabled":true'

# The master returns: its first "ACTIVE" releases the backup's lines again.
start master master
expect backup "the backup should release its lines when the master returns" \
  '"peerState":0' '"linesEnabled":false'

# The backup starts again beside the running master: it knows nothing and keeps its lines until
# the master's next heartbeat releases them.
stop backup
start backup backup-lan
expect backup "a backup started beside a master that is up should release its lines" \
  '"peerState":0' '"linesEnabled":false'

# The master's line fails (its necessary line loses the default route): it says "CLOSE".
ip -n "$NS_MASTER" route del default
expect master "the master should see its line group fail" '"groupState":2'
expect backup "the backup should take over when the master says CLOSE" \
  '"peerState":1' '"linesEnabled":true'

# An unprivileged user on the backup's host broadcasts "ACTIVE" for longer than a heartbeat
# interval: every datagram is ignored and counted, and the backup keeps its lines.
ignored() { vorta backup status --json | grep -o '"ignoredDatagrams":[0-9]*' | cut -d: -f2; }
as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups env PATH=/usr/local/bin:/usr/bin:/bin)
if ip netns exec "$NS_BACKUP" "${as_nobody[@]}" python3 -c pass 2>/dev/null; then
  before=$(ignored)
  ip netns exec "$NS_BACKUP" "${as_nobody[@]}" python3 -c 'import socket, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
for _ in range(30):
    for to in ("255.255.255.255", "192.0.2.255"):
        s.sendto(b"ACTIVE\r\n", (to, 6666))
    time.sleep(0.1)' &
  sender=$!
  while alive "$sender"; do
    status=$(vorta backup status --json)
    [[ $status == *'"peerState":1,'*'"linesEnabled":true'* ]] ||
      fail "a local user's ACTIVE should change nothing; backup status: $status"
    sleep 0.1
  done
  wait "$sender" || fail "the local sender failed"
  after=$(ignored)
  ((after >= before + 60)) || fail "the 60 local broadcasts should be ignored: $before, then $after"
else
  echo "nobody cannot run python3 here: the local sender's case is skipped"
fi

# The master's heartbeats are still obeyed.
ip -n "$NS_MASTER" route add default via 192.0.2.1 dev eth0
expect backup "the backup should release its lines when the master's line is back" \
  '"peerState":0' '"linesEnabled":false'

stop master
echo "master/backup lab test passed"
