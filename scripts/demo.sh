#!/usr/bin/env bash
# demo.sh BUILD_DIR [client options...]: starts the development service on a free loopback port
# and a headless client logged on as its demo subscriber, in a fresh data dir, until Ctrl-C (or
# for VORTA_DEMO_SECONDS).
set -euo pipefail
build=$(cd "$1" && pwd)
shift
work=$(mktemp -d)
service_log="$work/devservice.log"
cleanup() {
  kill "$service" 2>/dev/null || true
  wait "$service" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

: >"$service_log" # the loop below may look before the background job opens it
"$build/tools/devservice/vorta-devservice" --host 127.0.0.1 --port 0 >"$service_log" 2>&1 &
service=$!
url=
for _ in $(seq 100); do
  url=$(sed -n 's/^vorta-devservice listening on \(http:[^ ]*\).*/\1/p' "$service_log")
  [[ -n $url ]] && break
  kill -0 "$service" 2>/dev/null || break
  sleep 0.05
done
if [[ -z $url ]]; then
  echo "the development service did not start:" >&2
  cat "$service_log" >&2
  exit 1
fi
echo "development service at $url (log: the lines marked devservice)"
tail -n +2 -f "$service_log" | sed -u 's/^/devservice: /' &
tail_pid=$!

vorta=("$build/src/app/vorta" --data-dir "$work/data")
"${vorta[@]}" config set UserName demo
printf 'demo123\n' | "${vorta[@]}" config set UserPwd -
"${vorta[@]}" config set AutoLogon 1
limit=()
if [[ -n ${VORTA_DEMO_SECONDS:-} ]]; then
  limit=(timeout --foreground --preserve-status "$VORTA_DEMO_SECONDS")
  echo "headless client logging on as demo; the demo ends after $VORTA_DEMO_SECONDS s"
else
  echo "headless client logging on as demo; Ctrl-C ends the demo"
fi
status=0
# Every line reports to the same loopback service; the line number travels in the query.
"${limit[@]}" "${vorta[@]}" --headless --service-url "$url" --line-url-template "${url}?line=%s" "$@" || status=$?
kill "$tail_pid" 2>/dev/null || true
exit "$status"
