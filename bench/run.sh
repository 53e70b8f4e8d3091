#!/usr/bin/env bash
# Idle cost and shutdown of the client: a headless client with five lines that are down and a
# service that accepts connections but never answers. Prints its wake-ups per second over a
# minute, its memory after it, bench_shutdown's and bench_fleet's figures, the window's memory
# once logged on to the development service, and how soon `vorta log --follow` shows a logon,
# each with its goal.
# Usage: bench/run.sh [BUILD_DIR]   (default: build)
set -euo pipefail
build=${1:-build}
window=${VORTA_BENCH_SECONDS:-60}
settle=5
vorta_bin=$build/src/app/vorta
[[ -x $vorta_bin ]] || { echo "no $vorta_bin: build first" >&2; exit 2; }

work=$(mktemp -d)
client=
silent=
dev=
cleanup() {
  [[ -n $client ]] && kill "$client" 2>/dev/null || true
  [[ -n $dev ]] && kill "$dev" 2>/dev/null || true
  [[ -n $silent ]] && kill "$silent" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Nothing of the user's: every place the client may look lies in the temp dir.
mkdir -p "$work/home" "$work/config" "$work/data-home" "$work/state" "$work/runtime" "$work/data"
chmod 700 "$work/runtime"
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data-home
export XDG_STATE_HOME=$work/state XDG_RUNTIME_DIR=$work/runtime

# The service that does not answer: it accepts on 127.0.0.1-5 (one per line number) and keeps
# every connection open without a byte in reply.
python3 - "$work/port" <<'EOF' &
import selectors, socket, sys
first = socket.create_server(("127.0.0.1", 0))
port = first.getsockname()[1]
listeners = [first] + [socket.create_server((f"127.0.0.{n}", port)) for n in range(2, 6)]
with open(sys.argv[1] + ".tmp", "w") as f:
    f.write(str(port))
import os
os.rename(sys.argv[1] + ".tmp", sys.argv[1])
selector = selectors.DefaultSelector()
for listener in listeners:
    selector.register(listener, selectors.EVENT_READ)
held = []
while True:
    for key, _ in selector.select():
        connection, _ = key.fileobj.accept()
        held.append(connection)
EOF
silent=$!
for _ in $(seq 100); do
  [[ -s $work/port ]] && break
  sleep 0.05
done
[[ -s $work/port ]] || { echo "the silent service did not start" >&2; exit 1; }
port=$(cat "$work/port")

vorta=("$vorta_bin" --data-dir "$work/data")
"${vorta[@]}" config set ServiceUrl "http://127.0.0.1:$port/vorta/vorta.dll/"
"${vorta[@]}" config set LineUrlTemplate "http://127.0.0.%s:$port/vorta/vorta.dll/"
"${vorta[@]}" config set UserName bench
printf 'bench\n' | "${vorta[@]}" config set UserPwd -
"${vorta[@]}" config set AutoLogon 1
for n in 0 1 2 3 4; do
  "${vorta[@]}" lines add --kind lan --entry "vbenchdown$n" >/dev/null
done

"${vorta[@]}" --headless 2>"$work/client.log" &
client=$!
sleep "$settle"
kill -0 "$client" 2>/dev/null || { echo "the client ended:" >&2; cat "$work/client.log" >&2; exit 1; }

# Per thread: "TID SWITCHES NAME", voluntary and involuntary context switches together.
snapshot() {
  local task
  for task in /proc/"$client"/task/*; do
    awk -v tid="${task##*/}" -v name="$(cat "$task/comm" 2>/dev/null)" \
      '/^(non)?voluntary_ctxt_switches:/ { n += $2 } END { print tid, n, name }' \
      "$task/status" 2>/dev/null || true
  done
}
snapshot >"$work/before"
sleep "$window"
snapshot >"$work/after"
kill -0 "$client" 2>/dev/null || { echo "the client ended:" >&2; cat "$work/client.log" >&2; exit 1; }

verdict() { if awk -v v="$1" -v g="$2" 'BEGIN { exit !(v <= g) }'; then echo PASS; else echo MISS; fi; }

# A thread that started inside the window counts in full; one that ended in it is lost.
awk 'NR == FNR { before[$1] = $2; next }
     { d = $2 - before[$1]; name = $3; for (i = 4; i <= NF; ++i) name = name " " $i
       printf "  %-8s %-16s %6d\n", $1, name, d }' "$work/before" "$work/after" >"$work/threads"
wakes=$(awk '{ s += $3 } END { print s + 0 }' "$work/threads")
rate=$(awk -v w="$wakes" -v s="$window" 'BEGIN { printf "%.2f", w / s }')
echo "idle wake-ups: $rate per second ($wakes in ${window} s, $(wc -l <"$work/threads") threads)" \
  "goal <= 1.5: $(verdict "$rate" 1.5)"
echo "  tid      thread           wake-ups"
cat "$work/threads"

kib() { awk -v k="$1" '/^[A-Za-z_]+:/ && $1 == k ":" { print $2; exit }' "$2"; }
if [[ -r /proc/$client/smaps_rollup ]]; then
  rss=$(kib Rss "/proc/$client/smaps_rollup")
  dirty=$(kib Private_Dirty "/proc/$client/smaps_rollup")
else
  rss=$(kib VmRSS "/proc/$client/status")
  dirty=$(( $(kib RssAnon "/proc/$client/status") ))
fi
rss_mib=$(awk -v k="$rss" 'BEGIN { printf "%.2f", k / 1024 }')
pss=$(kib Pss "/proc/$client/smaps_rollup" 2>/dev/null || echo "?")
echo "resident: $rss_mib MiB ($rss KiB), proportional: $pss KiB, private dirty: $dirty KiB" \
  "goal resident < 10 MiB: $(verdict "$rss" 10239)"
# Where the resident pages lie: shared libraries' pages count in full in every process that
# maps them.
echo "  resident KiB by mapping (largest 8):"
awk '/^[0-9a-f]+-[0-9a-f]+ / { name = $6 == "" ? "[anonymous]" : $6 }
     /^Rss:/ { rss[name] += $2 }
     END { for (n in rss) printf "  %8d  %s\n", rss[n], n }' "/proc/$client/smaps" |
  sort -rn | head -8

kill "$client"
wait "$client" 2>/dev/null || true
client=

if [[ -x $build/bench/bench_shutdown ]]; then
  if shutdown=$("$build/bench/bench_shutdown"); then mark=PASS; else mark=MISS; fi
  echo "$shutdown: $mark"
else
  echo "shutdown: no $build/bench/bench_shutdown (built with the benchmarks?)"
fi
# The fleet after an outage of the service: a simulation, no network.
[[ -x $build/bench/bench_fleet ]] && { "$build/bench/bench_fleet" || true; }

# The window: vorta-window on the offscreen platform against the development service, logged on
# as the fixture's demo user; its resident memory once the domains have arrived.
window_bin=$build/src/app/vorta-window
devservice_bin=$build/tools/devservice/vorta-devservice
if [[ -x $window_bin && -x $devservice_bin ]]; then
  "$devservice_bin" --port 0 >"$work/devservice.log" 2>&1 &
  dev=$!
  dev_url=
  for _ in $(seq 100); do
    dev_url=$(sed -n 's/^vorta-devservice listening on \(http:[^ ]*\).*/\1/p' "$work/devservice.log")
    [[ -n $dev_url ]] && break
    sleep 0.05
  done
  mkdir -p "$work/window"
  win=("$vorta_bin" --data-dir "$work/window")
  "${win[@]}" config set UserName demo
  printf 'demo123\n' | "${win[@]}" config set UserPwd -
  "${win[@]}" config set AutoLogon 1
  QT_QPA_PLATFORM=offscreen "$window_bin" --data-dir "$work/window" \
    --service-url "$dev_url" 2>"$work/window.log" &
  client=$!
  logged_on=no
  for _ in $(seq 300); do
    if "${win[@]}" status 2>/dev/null | grep -qi "logged on"; then logged_on=yes; break; fi
    sleep 0.1
  done
  sleep 2  # the domain list follows the logon
  if kill -0 "$client" 2>/dev/null; then
    wrss=$(kib VmRSS "/proc/$client/status")
    wrss_mib=$(awk -v k="$wrss" 'BEGIN { printf "%.2f", k / 1024 }')
    echo "window resident: $wrss_mib MiB ($wrss KiB), logged on: $logged_on" \
      "goal < 60 MiB: $( [[ $logged_on == yes ]] && verdict "$wrss" 61439 || echo MISS)"
    # `vorta log --follow` beside it: how soon a logon made with `vorta logon` shows.
    "${win[@]}" logoff >/dev/null 2>&1 || true
    "${win[@]}" log --follow >"$work/follow.txt" 2>/dev/null &
    follower=$!
    for _ in $(seq 100); do [[ -s $work/follow.txt ]] && break; sleep 0.01; done
    before=$(grep -c "登陆成功！" "$work/follow.txt" || true)
    start=$(date +%s%N)
    "${win[@]}" logon >/dev/null 2>&1 || true
    answered=$(date +%s%N)
    seen=
    for _ in $(seq 1000); do
      if [[ $(grep -c "登陆成功！" "$work/follow.txt" || true) -gt $before ]]; then
        seen=$(date +%s%N)
        break
      fi
      sleep 0.002
    done
    kill "$follower" 2>/dev/null || true
    wait "$follower" 2>/dev/null || true
    if [[ -n $seen ]]; then
      ms=$(((seen - start) / 1000000))
      echo "log --follow: a logon through vorta logon shown $ms ms after the command began" \
        "($(((answered - start) / 1000000)) ms until the command answered)" \
        "goal < 1000 ms: $(verdict "$ms" 999)"
    else
      echo "log --follow: the logon never showed goal < 1000 ms: MISS"
    fi
    kill "$client"
    wait "$client" 2>/dev/null || true
  else
    echo "window: vorta-window ended:"; cat "$work/window.log"
  fi
  client=
  kill "$dev" 2>/dev/null || true
  dev=
else
  echo "window: no $window_bin or $devservice_bin (built with the window?)"
fi
