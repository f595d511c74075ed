#!/usr/bin/env bash
# Takes the start-screen and names-dialog screenshots for docs/ from a built
# program: tools/screenshots/app.sh [build folder, default build/dev].
# Runs the program under its own virtual X server with a silent sound device.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build/dev}" && pwd)"
if [[ -z "${DORVEL_IN_XVFB:-}" ]]; then
  DORVEL_IN_XVFB=1 ALSOFT_DRIVERS=null exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$build"
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
# Music on, sound effects off: the start screen shows both kinds of switch.
printf '\x00\x01' > dorvel.cfg
head -c 322 /dev/zero >> dorvel.cfg
"$build/bin/dorvel20" &
pid=$!
xdotool search --sync --name '^Halvenor Dorvel DAVED$' >/dev/null
sleep 1
import -window root "$root/docs/start-screen.png"
# Two players.
xdotool mousemove 504 344 click 1
sleep 0.3
xdotool mousemove 611 344 click 1
xdotool search --sync --name "^Spieler$" >/dev/null
sleep 0.3
xdotool type --delay 60 "Ansgar"
xdotool key Tab
xdotool type --delay 60 'Bärbel'
sleep 0.5
import -window root "$work/names.png"
# The dialog with a margin of its surroundings.
convert "$work/names.png" -crop 300x280+250+160 +repage "$root/docs/names-dialog.png"
# Into the game: OK, stop the first roll, let the dice settle, point at a row.
xdotool mousemove 397 382 click 1
sleep 1.5
xdotool mousemove 684 560 click 1
sleep 2.5
xdotool mousemove 98 449 sleep 0.1 mousemove 100 449
sleep 0.5
import -window root "$root/docs/game.png"
xdotool key Escape
sleep 0.5
xdotool key Escape
wait "$pid"
echo "screenshots written to $root/docs"
