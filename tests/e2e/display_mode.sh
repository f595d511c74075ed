#!/usr/bin/env bash
# The display-mode change on an X server that can really change modes (Xorg
# with the dummy video driver, offering 1024×768, 800×600 and 640×480): the
# program shows 800×600 while it runs and the user's 1024×768 afterwards —
# after Escape, and equally after SIGTERM, SIGINT, a crash (SIGSEGV) and SIGKILL,
# when the watchdog process puts the mode back.
# Skipped (exit 77) where Xorg or its dummy driver is not installed.
#
# usage: display_mode.sh <path of dorvel20>
set -euo pipefail
program="$(realpath "$1")"
xorg="$(command -v Xorg || true)"
if [[ -z "$xorg" ]] || ! ls /usr/lib/xorg/modules/drivers/dummy_drv.so >/dev/null 2>&1; then
  echo "SKIP: Xorg with the dummy driver (xserver-xorg-video-dummy) is not installed"
  exit 77
fi

work="$(mktemp -d)"
server=
cleanup() {
  if [[ -n "${pid:-}" ]]; then kill -KILL "$pid" 2>/dev/null || true; fi
  if [[ -n "$server" ]]; then kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cat > "$work/xorg.conf" <<'CONF'
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 64000
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
  Modeline "1024x768" 63.50 1024 1072 1176 1328 768 771 775 798 -hsync +vsync
  Modeline "800x600" 38.25 800 832 912 1024 600 603 607 624 -hsync +vsync
  Modeline "640x480" 23.75 640 664 720 800 480 483 487 500 -hsync +vsync
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Modes "1024x768" "800x600" "640x480"
    Virtual 1024 768
  EndSubSection
EndSection
CONF
"$xorg" -displayfd 3 -noreset -nolisten tcp -config "$work/xorg.conf" \
  -logfile "$work/xorg.log" 3>"$work/display" >/dev/null 2>&1 &
server=$!
for _ in $(seq 1 100); do [[ -s "$work/display" ]] && break; sleep 0.1; done
[[ -s "$work/display" ]] || { echo "SKIP: Xorg did not start here"; exit 77; }
export DISPLAY=":$(head -1 "$work/display")"
export ALSOFT_DRIVERS=null
mode() { xrandr | awk '/\*/ { print $1; exit }'; }
[[ "$(mode)" == 1024x768 ]] || fail "the server starts in $(mode)"

cd "$work"
start() {
  # A default SIGINT, which a script's background job would not have.
  python3 -c 'import os, signal, sys; signal.signal(signal.SIGINT, signal.SIG_DFL); os.execv(sys.argv[1], sys.argv[1:])' \
    "$program" >/dev/null 2>&1 &
  pid=$!
  timeout 20 xdotool search --sync --name '^Halvenor Dorvel DAVED$' >/dev/null || fail "no start screen"
  for _ in $(seq 1 30); do [[ "$(mode)" == 800x600 ]] && return; sleep 0.1; done
  fail "running in $(mode), not 800x600"
}
restored() {
  for _ in $(seq 1 50); do [[ "$(mode)" == 1024x768 ]] && return; sleep 0.1; done
  fail "$1: left the display in $(mode)"
}

start
xdotool key Escape
code=0
wait "$pid" || code=$?
pid=
(( code == 0 )) || fail "Escape: exit code $code"
restored Escape

for signal in TERM INT SEGV KILL; do
  start
  kill -"$signal" "$pid"
  wait "$pid" || true
  pid=
  restored "SIG$signal"
done
echo "display mode: 800x600 while running, 1024x768 after Escape, SIGTERM, SIGINT, SIGSEGV, SIGKILL"
