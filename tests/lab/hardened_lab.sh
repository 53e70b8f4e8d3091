#!/usr/bin/env bash
# End to end in the multi-line lab: the client runs as the unit's hardening leaves the system
# (NoNewPrivileges, ProtectHome, ProtectSystem=yes: no new privileges, /home, /root and /run/user
# hidden, /usr read-only; and only the capabilities of the unit's CapabilityBoundingSet) and
# still adds its host routes, binds its exchanges to the lines and reports both lines through
# their own gateways. Needs root and ip netns; skips (77) elsewhere.
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$2" && pwd)
source "$root/scripts/lab/enter.sh"
lab_enter h "$build" "$root"

# Under /tmp, which the hardening leaves as it is: the program runs from there.
TMPDIR=/tmp lab_client_work "$build"
cp "$build/src/app/vorta" "$work/vorta"
vorta=("$work/vorta" --data-dir "$work/data")
"${vorta[@]}" config set UserName demo
"${vorta[@]}" config set UserPwd demo123 2>/dev/null
"${vorta[@]}" lines add --kind lan --entry lan1 >/dev/null
"${vorta[@]}" lines add --kind lan --entry lan2 >/dev/null
# The packaged unit's bounding set, in setpriv's words: -all,+net_admin,...
caps=$(sed -n 's/^CapabilityBoundingSet=//p' "$root/packaging/VortaService.service.in")
[[ -n $caps ]] || fail "the unit names no CapabilityBoundingSet"
bounding=-all
for cap in $caps; do bounding+=",+$(tr '[:upper:]' '[:lower:]' <<<"${cap#CAP_}")"; done
# ip netns exec, unshare and setpriv each become the next: $! is the client itself.
ip netns exec "$NS_CLIENT" unshare --mount --propagation private sh -c '
  mount --bind -o ro /usr /usr || exit 90
  for dir in /home /root /run/user; do
    [ -d "$dir" ] && { mount -t tmpfs -o ro,mode=0755 tmpfs "$dir" || exit 91; }
  done
  touch /usr/.vorta-probe 2>/dev/null && exit 92
  bounding=$1; shift
  exec setpriv --no-new-privs --bounding-set "$bounding" "$@"' sh "$bounding" "${vorta[@]}" --headless \
  --service-url http://service.vorta.example:8080/vorta/vorta.dll/ \
  --line-url-template 'http://line%s.vorta.example:8080/vorta/vorta.dll/' --update-rest 1 \
  2>"$work/client.log" &
client=$!

status=
for _ in $(seq 300); do
  status=$("${vorta[@]}" status --json 2>/dev/null || true)
  [[ $status == *"\"address\":\"$LAB_CLIENT_LINE1\""* && $status == *"\"address\":\"$LAB_CLIENT_LINE2\""* ]] && break
  kill -0 "$client" 2>/dev/null || fail "the client ended: $(wait "$client"; echo "exit $?")"
  sleep 0.1
done
[[ $status == *"\"address\":\"$LAB_CLIENT_LINE1\""* && $status == *"\"address\":\"$LAB_CLIENT_LINE2\""* ]] ||
  fail "both lines should report under the hardening: $status"
grep -q '^NoNewPrivs:[[:space:]]*1' "/proc/$client/status" || fail "the client may gain privileges"
# Only the set's capabilities are left (CAP_SYS_ADMIN is bit 21).
bnd=$(sed -n 's/^CapBnd:[[:space:]]*//p' "/proc/$client/status")
(((16#$bnd >> 21 & 1) == 0)) || fail "the client kept capabilities beyond the unit's set: $bnd"
(($(line_reports_from "$LAB_SERVICE_LINE1" "$LAB_CLIENT_LINE1") > 0)) || fail "no report of lan1 through gateway 1"
(($(line_reports_from "$LAB_SERVICE_LINE2" "$LAB_CLIENT_LINE2") > 0)) || fail "no report of lan2 through gateway 2"
# Not a pipe into grep -q: under pipefail, ip's SIGPIPE when grep has quit early would fail it.
[[ -n $(cli ip route show proto 216) ]] || fail "no host route of the client's"

kill -TERM "$client"
wait "$client" || fail "the client exited with $?"
client=
echo "hardened lab test passed"
