# Sourced by the lab tests: `lab_enter PREFIX ARGS...` ends the test with 77 (skipped) where
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
