# Sourced by the lab tests, with helpers for inside the lab below. `lab_enter PREFIX ARGS...` ends the test with 77 (skipped) where
# network namespaces cannot be made (no root, no ip netns), else runs the test again inside a
# fresh multi-line lab (lab.sh run PREFIX$$ TEST ARGS...); inside the lab it returns.
lab_enter() {
  local prefix=$1
  shift
  [[ ${IN_LAB:-} == 1 ]] && return 0
  if [[ $(id -u) != 0 ]]; then
    echo "lab test skipped: it needs root to make network namespaces"
    exit 77
  fi
  local probe=vorta-probe-$$
  if ! ip netns add "$probe" 2>/dev/null; then
    echo "lab test skipped: ip netns is not available here"
    exit 77
  fi
  ip netns del "$probe"
  IN_LAB=1 exec "$(dirname "${BASH_SOURCE[0]}")/lab.sh" run "$prefix$$" "$0" "$@"
}

# `lab_client_work BUILD`: a work dir $work with a development service on each line's service
# address, removed at exit with the client whose pid the test keeps in $client; `fail TEXT` ends
# the test with the text and the client's log ($work/client.log).
lab_client_work() {
  work=$(mktemp -d)
  client=
  trap lab_client_cleanup EXIT
  lab_services "$1" "$work"
}
lab_client_cleanup() {
  [[ -n $client ]] && kill "$client" 2>/dev/null && wait "$client" 2>/dev/null || true
  rm -rf "$work"
}
fail() {
  echo "FAIL: $*" >&2
  echo "--- client log" >&2
  cat "$work/client.log" >&2 || true
  exit 1
}

# Inside the lab: commands in the service host's and the client host's namespaces.
svc() { ip netns exec "$NS_SERVICE" "$@"; }
cli() { ip netns exec "$NS_CLIENT" "$@"; }

# `lab_services BUILD WORK`: a development service on each line's service address (port 8080,
# logs in WORK), waited for until both answer.
lab_services() {
  local address
  for address in "$LAB_SERVICE_LINE1" "$LAB_SERVICE_LINE2"; do
    svc "$1/tools/devservice/vorta-devservice" --host "$address" --port 8080 --quiet \
      >"$2/service-$address.log" 2>&1 &
  done
  for _ in $(seq 100); do
    records "$LAB_SERVICE_LINE1" >/dev/null 2>&1 && records "$LAB_SERVICE_LINE2" >/dev/null 2>&1 && return 0
    sleep 0.05
  done
}
# What the service at $1 has recorded.
records() { svc curl -s "http://$1:8080/control/records"; }
# The line reports (not the logon's requests) that reached the service at $1 from $2.
line_reports_from() {
  local seen
  seen=$(records "$1" | sed -n '/"lineReports"/,/"networkUploads"/p')
  grep -o "\"remoteAddr\": \"$2\"" <<<"$seen" | wc -l
}
