#!/usr/bin/env bash
# The program on a real sound server: a private PulseAudio (its own home and
# runtime folder, no autospawn) with a null sink, whose monitor is recorded with
# parec. OpenAL Soft plays through its pulse back-end, as on a desktop.
#
#   reach   The start screen's music, the table's effects while the dice roll,
#           and the music again after Escape all reach the server.
#   return  The server is killed while the dice roll and started again. Within
#           5 s of its return the table's effects (the rolling dice, then the
#           stop) and, after Escape to the start screen, the music reach it.
#   none    Started with no server at all, the program says it found no sound
#           device and plays on without sound.
#
# An idle null sink hands its monitor data over in blocks of up to 2 s, so each
# take is recorded whole (with time for the last block to arrive) and judged as
# a whole; a take's position is a time only while something plays into the sink.
#
# usage: sound_server.sh <path of dorvel20> reach|return|none
set -euo pipefail
program="$(realpath "$1")"
mode="${2:-reach}"
for tool in pulseaudio parec pactl sox; do
  command -v "$tool" >/dev/null || { echo "skipped: no $tool (scripts/setup installs it)"; exit 77; }
done
if [[ -z "${DORVEL_E2E_X:-}" ]]; then
  DORVEL_E2E_X=1 exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi

work="$(mktemp -d)"
server="" recorder="" pid=""
cleanup() {
  local p
  for p in "$pid" "$recorder" "$server"; do [[ -n "$p" ]] && kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
fail() {
  echo "FAIL: $*" >&2
  tail -n 20 "$work/out.log" "$work/server.log" >&2 2>/dev/null || true
  exit 1
}

# A sound server of our own: nothing outside this folder sees it or is seen.
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run" PULSE_CLIENTCONFIG="$work/client.conf"
export ALSOFT_DRIVERS=pulse
mkdir -m 700 "$HOME" "$XDG_RUNTIME_DIR"
echo "autospawn = no" > "$PULSE_CLIENTCONFIG" # a killed server stays down
start_server() {
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
    -L "module-native-protocol-unix auth-anonymous=1" -L "module-null-sink sink_name=out" \
    -L module-always-sink >> "$work/server.log" 2>&1 &
  server=$!
  for _ in $(seq 1 100); do
    pactl info >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  fail "the sound server did not start"
}
stop_server() {
  kill "$server"
  wait "$server" 2>/dev/null || true
  server=""
}

# takeStart NAME / takeEnd: the sink's monitor from now on, into NAME.raw.
takeStart() {
  parec -d out.monitor --format=s16le --rate=44100 --channels=2 > "$work/$1.raw" &
  recorder=$!
}
takeEnd() { # takeEnd [now]
  # An idle sink's monitor hands over what it holds in blocks of up to 2 s.
  [[ "${1:-}" == now ]] || sleep 2.5
  kill -INT "$recorder"
  wait "$recorder" 2>/dev/null || true
  recorder=""
}
# rms NAME FROM SECONDS: root mean square (0..1) of that stretch of a take.
rms() {
  sox -t raw -r 44100 -e signed -b 16 -c 2 "$work/$1.raw" -n trim "$2" "$3" stat 2>&1 |
    awk '/RMS +amplitude/ { print $3 }'
}
audible() { # audible NAME FROM SECONDS
  local level
  level="$(rms "$@")"
  [[ -n "$level" ]] && awk -v l="$level" 'BEGIN { exit !(l > 0.003) }'
}
# continuous NAME FROM SECONDS: every 0.5 s of the stretch is audible (music, not a click).
continuous() {
  local t end
  end="$(awk -v a="$2" -v b="$3" 'BEGIN { print a + b - 0.5 }')"
  for t in $(seq "$2" 0.5 "$end"); do
    audible "$1" "$t" 0.5 || return 1
  done
}
now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }'; }
sleepUntil() { # sleepUntil START SECONDS: until SECONDS after START
  local left
  left="$(awk -v a="$1" -v s="$2" -v b="$(now)" 'BEGIN { l = a + s - b; printf "%.3f", (l > 0 ? l : 0) }')"
  sleep "$left"
}

# A settings file with sound and music on (a fresh folder starts with both off).
switchesOn() {
  { printf '\001\001'; head -c 322 /dev/zero; } > "$work/dorvel.cfg"
}
switches() { od -An -tu1 -N2 "$work/dorvel.cfg" | tr -s ' ' | sed 's/^ //'; }
startGame() {
  "$program" > "$work/out.log" 2>&1 &
  pid=$!
}
startScreen() {
  timeout 20 xdotool search --sync --name '^Halvenor Dorvel DAVED$' >/dev/null ||
    fail "no start screen"
}
# Two players, their names, OK: the table opens and the first turn's dice roll.
toTheTable() {
  xdotool mousemove 504 344 click 1
  sleep 0.3
  xdotool mousemove 611 344 click 1
  timeout 10 xdotool search --sync --name '^Spieler$' >/dev/null || fail "no names dialog"
  sleep 0.3
  xdotool type --delay 50 'Ansgar'
  xdotool key Tab
  xdotool type --delay 50 'Bert'
  sleep 0.3
  xdotool mousemove 397 382 click 1
  sleep 1.5
}
quitFromStartScreen() {
  xdotool key Escape
  timeout 10 tail --pid="$pid" -f /dev/null || fail "the program did not end"
  local code=0
  wait "$pid" || code=$?
  pid=""
  ((code == 0)) || fail "exit code $code"
}

switchesOn
case "$mode" in
reach)
  start_server
  startGame
  startScreen
  takeStart start
  sleep 3
  takeEnd
  continuous start 1.0 3.0 || fail "no music at the start screen"
  toTheTable
  takeStart table
  sleep 2
  takeEnd
  audible table 0.2 1.5 || fail "no effects while the dice roll"
  takeStart again
  xdotool key Escape # back to the start screen
  sleep 3
  takeEnd
  continuous again 1.5 2.5 || fail "no music after the table"
  quitFromStartScreen
  echo "sound server: music, the table's effects and the music again all reached it"
  ;;
return)
  start_server
  startGame
  startScreen
  toTheTable
  stop_server # while the dice roll
  sleep 3
  kill -0 "$pid" 2>/dev/null || fail "the program ended with the server"
  start_server
  back="$(now)"
  # Whole takes from the server's return: the table until 3 s, then (after
  # Escape) the start screen until 5 s. The game's stream keeps the sink busy,
  # so a take ended at once holds what was played until then.
  takeStart table
  reopened=none
  for _ in $(seq 1 25); do
    grep -q "a new output device opened" "$work/out.log" && { reopened="$(since "$back")"; break; }
    sleep 0.1
  done
  sleepUntil "$back" 2.5
  xdotool mousemove 684 560 click 1 # "Stop !!!": the dice stop, with their sound
  sleepUntil "$back" 3.0
  takeEnd now
  xdotool key Escape # back to the start screen and its music
  takeStart start
  sleepUntil "$back" 5.0
  takeEnd now
  echo "server back at 0 s: new device at ${reopened} s; table take $(rms table 0 3) RMS," \
    "start screen take $(rms start 0 2) RMS"
  audible table 0 3 || fail "no effects at the table within 3 s of the server's return"
  audible start 0 2 || fail "no music within 5 s of the server's return"
  takeStart later
  sleep 2
  takeEnd
  continuous later 0 2 || fail "the music did not go on after the server's return"
  quitFromStartScreen
  echo "sound server: the game's sound came back with the server"
  ;;
none)
  startGame
  timeout 20 xdotool search --sync --name '^Information$' >/dev/null ||
    fail "no box saying there is no sound"
  sleep 0.3
  xdotool key Return
  startScreen
  quitFromStartScreen
  [[ "$(switches)" == "0 0" ]] || fail "switches stored as $(switches), not both off"
  echo "no sound server: the box, then the game without sound, both switches stored off"
  ;;
*)
  echo "usage: $0 <dorvel20> reach|return|none" >&2
  exit 2
  ;;
esac
