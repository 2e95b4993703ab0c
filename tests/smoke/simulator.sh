# SPDX-License-Identifier: MIT
# Sourced by the smoke tests: a work folder removed at the end, and the projector simulator
# started on a pseudo-terminal of its own, stopped at the end.
#   start_simulator SIM TAG   sets $work and $device (the simulator's pseudo-terminal); the
#                             simulator's log is $work/sim.log. TAG prefixes its complaints.
start_simulator() {
  local sim=$1 tag=$2
  work=$(mktemp -d)
  trap 'kill ${sim_pid:-} 2>/dev/null || true; rm -rf "$work"' EXIT
  "$sim" >"$work/sim.out" 2>"$work/sim.log" &
  sim_pid=$!
  for _ in $(seq 100); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
  device=$(head -n 1 "$work/sim.out")
  [ -n "$device" ] || { echo "$tag: the simulator named no device"; exit 1; }
}
