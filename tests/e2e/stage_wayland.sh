#!/usr/bin/env bash
# The program in a Wayland session, on a headless compositor (weston) with one
# 1280×800 output, which lets no program change its mode or place its windows:
# the start screen, the no-sound-device message box, the names dialog, the game
# table and the high-score window each fill the output's height at the stage's
# scale, centred, black around them. The compositor injects no input, so
# stage_walk drives the windows from the inside and checks weston's screenshots.
# Then the same through XWayland (Qt's X11 platform in the Wayland session),
# where Xwayland is installed, and on a weston in an X window, which has a seat,
# with real clicks.
# Skipped (exit 77) only where weston is not installed.
#
# usage: stage_wayland.sh <path of stage_walk> [folder to keep the screenshots in]
set -euo pipefail
walker="$(realpath "$1")"
keep="${2:+$(realpath "$2")}"
if ! command -v weston >/dev/null || ! command -v weston-screenshooter >/dev/null; then
  echo "SKIP: weston is not installed"
  exit 77
fi

work="$(mktemp -d)"
compositor=
cleanup() {
  if [[ -n "$compositor" ]]; then kill "$compositor" 2>/dev/null || true; wait "$compositor" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; cat "$work/weston.log" >&2 || true; exit 1; }

export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# --debug offers the screenshot protocol; pixman keeps weston off GL.
xwayland=()
command -v Xwayland >/dev/null && xwayland=(--xwayland)
weston --backend=headless-backend.so --use-pixman --debug --socket=dorvel-wayland \
  --width=1280 --height=800 --idle-time=0 "${xwayland[@]}" >"$work/weston.log" 2>&1 &
compositor=$!
for _ in $(seq 1 100); do [[ -S "$XDG_RUNTIME_DIR/dorvel-wayland" ]] && break; sleep 0.1; done
[[ -S "$XDG_RUNTIME_DIR/dorvel-wayland" ]] || fail "weston did not start"

cat >"$work/shoot.sh" <<'SHOOT'
#!/usr/bin/env bash
# Writes the whole output to $1.
set -euo pipefail
dir="$(mktemp -d)"
cd "$dir"
timeout 30 weston-screenshooter >/dev/null 2>&1
mv wayland-screenshot-*.png "$1"
rmdir "$dir"
SHOOT
chmod +x "$work/shoot.sh"

mkdir "$work/play"
cd "$work/play"
# weston's desktop shell stacks a popup beneath the full-screen host twice over:
# without a seat Qt has no input serial to tie a popup to and makes the menu a
# window of its own, and an XWayland popup goes to the layer beneath full-screen
# windows. Nobody can right-click on a seatless compositor, and desktops with a
# seat show the popup; the walk still checks that the menu opens, speaks German,
# takes a click and gives way to Escape, only not where it shows.
export STAGE_WALK_MENU_UNSEEN=1
# No sound device, so the start-up shows its message box. The headless
# compositor has no keyboard: Qt's Wayland text input then fails on the keys the
# walk sends itself, so no input method is used.
env -u DISPLAY WAYLAND_DISPLAY=dorvel-wayland XDG_SESSION_TYPE=wayland QT_QPA_PLATFORM=wayland \
  QT_IM_MODULE=none ALSOFT_DRIVERS=nonexistent timeout 300 "$walker" "$work/shoot.sh" ${keep:+"$keep"} ||
  fail "the walk through the windows failed"
echo "wayland: every window on a 1280x800 output as designed"

if ((${#xwayland[@]})); then
  display="$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$work/weston.log" | head -1)"
  [[ -n "$display" ]] || fail "weston started no X server"
  rm -f dorvel.cfg
  env DISPLAY="$display" WAYLAND_DISPLAY=dorvel-wayland XDG_SESSION_TYPE=wayland QT_QPA_PLATFORM=xcb \
    ALSOFT_DRIVERS=nonexistent timeout 300 "$walker" "$work/shoot.sh" ||
    fail "the walk through the windows failed on XWayland"
  echo "xwayland: every window on a 1280x800 output as designed"
fi

# weston in a window of an X server has a seat: real clicks (xdotool) reach the
# program as Wayland input, so the die clicks and the right click on a name
# field are real, and the context menu is a Wayland popup, checked where it
# shows. Where xvfb-run or xdotool is missing, this part is left out.
if command -v xvfb-run >/dev/null && command -v xdotool >/dev/null; then
  kill "$compositor" 2>/dev/null || true
  wait "$compositor" 2>/dev/null || true
  compositor=
  rm -f dorvel.cfg
  cat >"$work/seated.sh" <<'SEATED'
#!/usr/bin/env bash
# Runs weston on this X server, then the walk in it with real clicks.
set -euo pipefail
weston --backend=x11-backend.so --use-pixman --debug --socket=dorvel-seated \
  --width=1280 --height=800 --idle-time=0 >"$1/weston-seated.log" 2>&1 &
compositor=$!
trap 'kill "$compositor" 2>/dev/null || true; wait "$compositor" 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do [[ -S "$XDG_RUNTIME_DIR/dorvel-seated" ]] && break; sleep 0.1; done
# weston's X11 back-end learns where the pointer is only when it enters its
# window, and from then on follows it by its moves. A pointer already inside
# when the window maps may never enter it: weston then puts it at 0,0 and every
# click lands elsewhere. The X screen is a little larger than weston's window,
# so the pointer can leave it and enter it again, at a known place.
xdotool mousemove 1290 810 sleep 0.2 mousemove 640 400
env -u STAGE_WALK_MENU_UNSEEN WAYLAND_DISPLAY=dorvel-seated \
  XDG_SESSION_TYPE=wayland QT_QPA_PLATFORM=wayland QT_IM_MODULE=none ALSOFT_DRIVERS=null \
  STAGE_WALK_XDOTOOL=1 timeout 300 "$2" "$1/shoot.sh"
SEATED
  chmod +x "$work/seated.sh"
  xvfb-run -a -s "-screen 0 1300x820x24" "$work/seated.sh" "$work" "$walker" ||
    { cat "$work/weston-seated.log" >&2; fail "the walk with real clicks failed on a seated weston"; }
  echo "wayland with a seat: real clicks, the context menu a popup where it opened"
fi
