#!/usr/bin/env bash
# A web-login line whose portal takes the probe's connection and never answers it. The service
# keeps answering `vorta status` and `vorta lines`, and SIGTERM ends it within 2 s, whether the
# probe started with the client (the line was in the lines file) or with a line added to the
# running client. Needs root and ip netns; skips (77) elsewhere.
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$2" && pwd)
source "$root/scripts/lab/enter.sh"
lab_enter s "$build" "$root"

# Inside the lab (lab.sh exported the namespace names).
work=$(mktemp -d)
chmod 755 "$work"
portal=
service=
data=$work/data
vorta="$build/src/app/vorta"
cleanup() {
  client_pid >/dev/null && kill -KILL "$(client_pid)" 2>/dev/null || true
  [[ -n $portal ]] && kill "$portal" 2>/dev/null || true
  [[ -n $service ]] && kill "$service" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  for log in client portal service; do
    echo "--- $log log" >&2
    cat "$work/$log.log" >&2 || true
  done
  exit 1
}
now_ms() { echo $(($(date +%s%N) / 1000000)); }
# The client of $data, if it runs. `ip netns exec` may stay as its parent: the client is found
# by its own command line.
client_pid() { pgrep -f "^$vorta --service --data-dir $data " || return 1; }
probes() { grep -c '^probe' "$work/portal.log" 2>/dev/null || true; }

# The portal: probe.vorta.example sits behind line 2's gateway. It accepts every connection and
# answers none.
ip netns exec "$NS_SERVICE" perl -MIO::Socket::INET -e '
  $| = 1;
  my $s = IO::Socket::INET->new(LocalAddr => "'"$LAB_SERVICE_LINE2"':8080", Listen => 16,
                                ReuseAddr => 1) or die "cannot listen: $!\n";
  print "listening\n";
  my @held;
  while (my $c = $s->accept) { push @held, $c; print "probe\n"; }' >"$work/portal.log" 2>&1 &
portal=$!
# The service of line 1, so that the client's other exchanges have their peer.
ip netns exec "$NS_SERVICE" "$build/tools/devservice/vorta-devservice" --host "$LAB_SERVICE_LINE1" \
  --port 8080 --quiet >"$work/service.log" 2>&1 &
service=$!
for _ in $(seq 100); do
  grep -q listening "$work/portal.log" && break
  sleep 0.05
done
grep -q listening "$work/portal.log" || fail "the portal did not start"

start_client() {
  ip netns exec "$NS_CLIENT" "$vorta" --service --data-dir "$data" \
    --service-url http://service.vorta.example:8080/vorta/vorta.dll/ \
    --line-url-template 'http://line%s.vorta.example:8080/vorta/vorta.dll/' \
    --probe-url http://probe.vorta.example:8080/logo1.gif --update-rest 1 \
    2>"$work/client.log" &
  # Answered within 5 s of the start, a probe that hangs from the start or not.
  local start
  start=$(now_ms)
  while (($(now_ms) - start < 5000)); do
    timeout 2 "$vorta" --data-dir "$data" status >/dev/null 2>&1 && return 0
    sleep 0.05
  done
  fail "the client did not answer within 5 s of its start"
}
# await_probe N: until the portal holds N probes unanswered.
await_probe() {
  for _ in $(seq 200); do
    (($(probes) >= $1)) && return 0
    sleep 0.05
  done
  fail "the line never probed its portal ($(probes) probes)"
}
# answers WHAT COMMAND...: the command succeeds within 2 s while the probe hangs.
answers() {
  local what=$1 start out
  shift
  start=$(now_ms)
  out=$(timeout 5 "$@" 2>&1) || fail "$what did not answer: $out"
  (($(now_ms) - start < 2000)) || fail "$what took $(($(now_ms) - start)) ms"
}
stop_within_2s() {
  local pid start
  pid=$(client_pid) || fail "no client to stop"
  start=$(now_ms)
  kill -TERM "$pid"
  while kill -0 "$pid" 2>/dev/null && (($(now_ms) - start < 2000)); do sleep 0.02; done
  kill -0 "$pid" 2>/dev/null && fail "SIGTERM did not end the client within 2 s"
  echo "   stopped in $(($(now_ms) - start)) ms"
}

echo "-- a web-login line in the lines file probes at the start"
"$vorta" --data-dir "$data" lines add --kind weblogin --entry lan2 --user demo --password demo123 >/dev/null 2>&1
start_client
await_probe 1
answers "status" "$vorta" --data-dir "$data" status --json
answers "lines list" "$vorta" --data-dir "$data" lines list
stop_within_2s

echo "-- a web-login line added to the running client probes"
"$vorta" --data-dir "$data" lines delete 1 >/dev/null
"$vorta" --data-dir "$data" lines add --kind lan --entry lan1 >/dev/null
start_client
before=$(probes)
answers "lines add" "$vorta" --data-dir "$data" lines add --kind weblogin --entry lan2 --user demo \
  --password demo123
await_probe $((before + 1))
answers "status" "$vorta" --data-dir "$data" status --json
out=$("$vorta" --data-dir "$data" lines list)
[[ $out == *"lan1"* && $out == *"lan2"* ]] || fail "lines list: $out"
stop_within_2s
echo "silent portal lab test passed"
