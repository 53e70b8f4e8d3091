# Sourced by the program tests: `start_devservice BUILD LOG [OPTIONS...]` starts the development
# service on a free loopback port; it sets $service (its pid) and $url (its base URL), or fails.
start_devservice() {
  # Made here: the background job opens it only once it runs, maybe after the first look below.
  : >"$2"
  "$1/tools/devservice/vorta-devservice" --port 0 "${@:3}" >"$2" 2>&1 &
  service=$!
  url=
  for _ in $(seq 100); do
    url=$(sed -n 's/^vorta-devservice listening on \(http:[^ ]*\).*/\1/p' "$2")
    [[ -n $url ]] && return 0
    sleep 0.05
  done
  fail "the development service did not start"
}

# `await_text FILE TEXT [TENTHS]`: waits up to TENTHS tenths of a second (default 100) for TEXT
# to appear in FILE; fails the test with a line of FILE's end when it does not.
await_text() {
  for _ in $(seq "${3:-100}"); do
    grep -qF "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "no '$2' in $1: $(tail -n 3 "$1" 2>/dev/null)"
}
