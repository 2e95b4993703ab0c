#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The main command's path on a real X server, started as the menu starts it: the desktop entry's
# Exec line, with nothing naming COM1 but the device chosen last time (the simulator's
# pseudo-terminal, in the settings file). The window maps with the exact title, holds the line
# open, opens the monitor with Ctrl+J, and a click on STATUS reaches the simulator as "CR0" +
# CR; END quits.
# Usage: xvfb_smoke.sh PANEL SIM DESKTOP-FILE
set -euo pipefail
panel=$1
sim=$2
desktop=$3
title='ODRA   MP-Q85 & Q75   CONTROL   Ver.1.40'

for tool in xvfb-run xdotool; do
  command -v "$tool" >/dev/null || { echo "smoke: $tool missing (scripts/install-deps)"; exit 77; }
done

# shellcheck source=simulator.sh
. "$(dirname "$0")/simulator.sh"
start_simulator "$sim" smoke

# The device chosen last time, where the panel keeps it.
mkdir -p "$work/config/odra"
printf '[devices]\ncom1=%s\n' "$device" >"$work/config/odra/odra-control.conf"
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ -n "$exec_line" ] || { echo "smoke: no Exec line in $desktop"; exit 1; }

cat >"$work/inside.sh" <<'INSIDE'
set -euo pipefail
panel=$1; title=$2; device=$3; exec_line=$4
unset QT_QPA_PLATFORM ODRA_COM1 ODRA_COM2
# The built panel found on the PATH, as the installed one would be.
PATH="$(dirname "$panel"):$PATH" XDG_CONFIG_HOME="$WORK/config" \
  sh -c "exec $exec_line" 2>"$WORK/panel.log" &
pid=$!
win=$(timeout 20 xdotool search --sync --onlyvisible --name "^${title}\$" | head -n 1)
[ -n "$win" ] || { echo "smoke: no window"; exit 1; }
[ "$(xdotool getwindowname "$win")" = "$title" ] || { echo "smoke: wrong title"; exit 1; }
echo "smoke: window $win mapped with the exact title"
# The line is held open by the panel.
for _ in $(seq 50); do
  ls -l /proc/$pid/fd 2>/dev/null | grep -q -- "-> $device\$" && break
  sleep 0.1
done
ls -l /proc/$pid/fd | grep -q -- "-> $device\$" || { echo "smoke: $device not open"; exit 1; }
echo "smoke: $device open"
xdotool windowfocus --sync "$win"
xdotool key --clearmodifiers ctrl+j
sleep 0.5
# STATUS: client (6480 + 975/2, 5640 + 255/2) twips at 15 twips a pixel.
xdotool mousemove --window "$win" 464 384 click 1
for _ in $(seq 50); do
  grep -q 'CR0<CR>' "$WORK/sim.log" && break
  sleep 0.1
done
grep -q 'CR0<CR>' "$WORK/sim.log" || { echo "smoke: STATUS did not reach the simulator"; exit 1; }
echo "smoke: STATUS reached the simulator"
# END: client (8400 + 975/2, 4320 + 375/2) twips.
xdotool mousemove --window "$win" 592 300 click 1
for _ in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then echo "smoke: END did not end the panel"; kill $pid; exit 1; fi
wait $pid
echo "smoke: END closed the panel"
INSIDE

WORK=$work timeout 60 xvfb-run -a -s "-screen 0 1280x1024x24" \
  bash "$work/inside.sh" "$panel" "$title" "$device" "$exec_line" || {
  status=$?
  echo "--- panel log"; cat "$work/panel.log" 2>/dev/null || true
  echo "--- simulator log"; cat "$work/sim.log"
  exit $status
}
