#!/usr/bin/env bash
# The whole program as a new player meets it, with real mouse and keyboard
# events on its own virtual X server: start in an empty folder, choose two
# players, type their names, play all thirteen rounds to the high-score window,
# "Noch ein Spiel !", Escape, Escape. Afterwards "dorvel.cfg" holds both results
# under the typed names, and the program has ended with code 0.
#
# usage: whole_game.sh <path of dorvel20>
set -euo pipefail
program="$(realpath "$1")"

# A private X server keeps our clicks away from other tests' windows.
if [[ -z "${DORVEL_E2E_X:-}" ]]; then
  DORVEL_E2E_X=1 ALSOFT_DRIVERS=null exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi

work="$(mktemp -d)"
trap 'if [[ -n "${pid:-}" ]]; then kill "$pid" 2>/dev/null || true; fi; rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAIL: $*" >&2; import -window root "$work/fail.png" 2>/dev/null || true; exit 1; }

# One crop of the roll button's caption, to tell "Stop !!!" from the rest.
button() { import -window root -crop 90x18+640+552 +repage "$1"; }
same() { # two crops look alike (a focus frame or hover shade aside)
  local differing
  differing="$(compare -metric AE -fuzz 20% "$1" "$2" null: 2>&1 || true)"
  [[ "${differing%% *}" =~ ^[0-9.e+]+$ ]] && (( $(printf '%.0f' "${differing%% *}") < 40 ))
}
highscoreShown() { xdotool search --name '^Highscore$' >/dev/null 2>&1; }

"$program" > "$work/out.log" 2>&1 &
pid=$!
timeout 20 xdotool search --sync --name '^Halvenor Dorvel DAVED$' >/dev/null || fail "no start screen"
sleep 0.5

# Two players, then the start picture.
xdotool mousemove 504 344 click 1
sleep 0.3
xdotool mousemove 611 344 click 1
timeout 10 xdotool search --sync --name '^Spieler$' >/dev/null || fail "no names dialog"
sleep 0.3
xdotool type --delay 120 'Ansgar'
xdotool key Tab
sleep 0.3
xdotool type --delay 120 'Bärbel'
# Enter must not confirm.
xdotool key Return
sleep 0.3
xdotool search --name '^Spieler$' >/dev/null || fail "Enter closed the names dialog"
xdotool mousemove 397 382 click 1 # the dialog's OK (centred 222×208 at 289,196)
sleep 1.5
xdotool mousemove 400 590
sleep 0.3
button "$work/stop.png" # the first turn is rolling: the button says "Stop !!!"

turns=0
for round in $(seq 1 13); do
  # Row `round` of the sheet: upper rows from 120, lower rows from 320, 20 apart.
  if (( round <= 6 )); then y=$((129 + 20 * (round - 1))); else y=$((329 + 20 * (round - 7))); fi
  for player in 1 2; do
    # Wait for this turn's roll, stop it, then offer the row until it is taken
    # (it only is once the dice have settled) and the next turn rolls.
    ok=0
    for _ in $(seq 1 100); do
      button "$work/now.png"
      if same "$work/now.png" "$work/stop.png"; then ok=1; break; fi
      sleep 0.1
    done
    (( ok )) || fail "round $round player $player: no roll"
    xdotool mousemove 684 560 click 1
    sleep 0.2
    ok=0
    for _ in $(seq 1 60); do
      xdotool mousemove 98 $y sleep 0.05 mousemove 100 $y click 1
      sleep 0.25
      if highscoreShown; then ok=1; break; fi
      button "$work/now.png"
      if same "$work/now.png" "$work/stop.png"; then ok=1; break; fi
    done
    (( ok )) || fail "round $round player $player: the row was not taken"
    turns=$((turns + 1))
  done
done
(( turns == 26 )) || fail "played $turns turns"

timeout 10 xdotool search --sync --name '^Highscore$' >/dev/null || fail "no high-score window"
sleep 0.5
xdotool mousemove 648 509 click 1 # "Noch ein Spiel !"
sleep 1.5
highscoreShown && fail "the high-score window stayed open"
xdotool key Escape # leaves the game table
sleep 1
xdotool key Escape # leaves the program
for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "the program did not end"
code=0
wait "$pid" || code=$?
pid=
(( code == 0 )) || fail "exit code $code"

# Both results are in the list, under their names (Windows-1252: ä = E4).
[[ -f dorvel.cfg ]] || fail "no dorvel.cfg"
size=$(stat -c %s dorvel.cfg)
(( size == 324 )) || fail "dorvel.cfg has $size bytes"
hex="$(od -An -tx1 -v dorvel.cfg | tr -d ' \n')"
grep -q '06416e73676172' <<<"$hex" || fail "no entry for Ansgar"
grep -q '0642e47262656c' <<<"$hex" || fail "no entry for Bärbel"
echo "whole game: $turns turns played, both results stored"
