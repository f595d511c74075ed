#!/usr/bin/env bash
# The program on an X screen of 1600×1200 that offers no 800×600 mode (Xvfb
# cannot switch): every window fills the screen, centred on black, and a real
# click just inside a die's designed edge holds that die. Run with Qt's scale
# factor left to the program, with a user's QT_SCALE_FACTOR=2, and on a
# 1280×800 screen, where the program's factor is fractional (4/3). The first
# walk has no sound device, so the start-up's information box comes first.
#
# usage: stage_x11.sh <path of stage_walk>
set -euo pipefail
walker="$(realpath "$1")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cat >"$work/shoot.sh" <<'SHOOT'
#!/usr/bin/env bash
import -window root "$1"
SHOOT
chmod +x "$work/shoot.sh"
mkdir "$work/play"
cd "$work/play"

walk() { # screen, then environment settings
  local screen="$1"
  shift
  echo "== ${screen} $*"
  env -u WAYLAND_DISPLAY -u XDG_SESSION_TYPE ALSOFT_DRIVERS=null "$@" \
    xvfb-run -a -s "-screen 0 ${screen}x24" timeout 300 "$walker" "$work/shoot.sh" ||
    { echo "FAIL: on ${screen} $*" >&2; exit 1; }
}
# Without a sound device the start-up shows its information box first.
walk 1600x1200 ALSOFT_DRIVERS=nonexistent
walk 1600x1200 QT_SCALE_FACTOR=2
walk 1280x800
echo "x11: every window fills a larger screen, dice held by their edges"
