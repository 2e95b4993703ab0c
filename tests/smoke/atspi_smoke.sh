#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The panel as a screen reader meets it: the built binary on Xvfb with the AT-SPI bus, started
# on the projector simulator, read and worked over the bus by atspi_probe.py (the window by its
# title, "Volume +" by name, STATUS pressed through its action, the status line's answer and its
# announcement, END).
# Usage: atspi_smoke.sh PANEL SIM   (exit 77: a tool is missing)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
panel=$1
sim=$2
title='ODRA   MP-Q85 & Q75   CONTROL   Ver.1.40'

# Debian's python3 has the GObject bindings; a python3 earlier on PATH may not.
python=/usr/bin/python3
for tool in xvfb-run xdotool "$python"; do
  command -v "$tool" >/dev/null || { echo "atspi: $tool missing (scripts/install-deps)"; exit 77; }
done
"$python" -c 'import gi; gi.require_version("Atspi", "2.0")' 2>/dev/null || {
  echo "atspi: python3-gi or gir1.2-atspi-2.0 missing (scripts/install-deps)"
  exit 77
}

# shellcheck source=simulator.sh
. "$(dirname "$0")/simulator.sh"
start_simulator "$sim" atspi

cat >"$work/inside.sh" <<'INSIDE'
set -euo pipefail
panel=$1; title=$2; device=$3; python=$4; probe=$5
ODRA_COM1=$device "$panel" 2>"$WORK/panel.log" &
pid=$!
win=$(timeout 20 xdotool search --sync --onlyvisible --name "^${title}\$" | head -n 1)
[ -n "$win" ] || { echo "atspi: no window"; exit 1; }
# The status queries are behind the hidden key.
xdotool windowfocus --sync "$win"
xdotool key --clearmodifiers ctrl+j
timeout 60 "$python" "$probe" "$title"
for _ in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then echo "atspi: END did not end the panel"; kill $pid; exit 1; fi
wait $pid
echo "atspi: END closed the panel"
INSIDE

status=0
WORK=$work timeout 90 "$here/atspi_session.sh" bash "$work/inside.sh" "$panel" "$title" "$device" \
  "$python" "$here/atspi_probe.py" || status=$?
if [ $status -ne 0 ]; then
  echo "--- panel log"; cat "$work/panel.log" 2>/dev/null || true
  echo "--- simulator log"; cat "$work/sim.log"
  exit $status
fi
grep -q 'CR0<CR>' "$work/sim.log" || { echo "atspi: STATUS did not reach the simulator"; exit 1; }
echo "atspi: STATUS reached the simulator"
