#!/usr/bin/env bash
# Every window as the player sees it, on each kind of display, against the same
# window on an 800×600 X screen, where the program runs without its stage and
# its windows are drawn at their designed size: that screen's pictures are the
# references, made afresh by the "reference" path before the others run.
# Windows: the no-sound-device information box, the start screen, the names
# dialog, the game table with the dice at rest (the clock fixed, so the same
# dice on every path), the high-score window, and the error box of a program
# without its resource library.
#
# usage: pictures.sh <picture_walk> <picture_compare> <path> <folder>
#   reference    800×600 X screen: writes the references into <folder>/reference
#   x11          1600×1200 X screen without an 800×600 mode, the program's own scale
#   x11-scale2   the same with a user's QT_SCALE_FACTOR=2
#   wayland      headless weston, one 1280×800 output (skipped, 77, without weston)
# The other paths write their screenshots and a difference picture of each
# window (the worst tile framed in red) into <folder>/<path>, and compare.
#
# The tolerances (picture_compare's defaults): the stage, softened by a 3×3
# mean, must keep a PSNR of at least 25 dB, and no 12×12 tile (tiles overlap
# by half) may differ by more than 30 of 255 per channel on average at the
# shift that fits it best (up to 1 pixel, 2 for a box, which is laid out
# afresh for the larger text). Measured on the good paths: at scale 2 (both X
# paths) at least 40 dB and at most 14 in a tile (small print drawn at twice
# the size); on weston's 1280×800 (scale 4/3, the pictures resampled by the
# program) at least 30 dB and at most 24 (the rim of the OK picture); a box
# given its face for a trial, at least 29 dB and at most 19. Faults: a box
# without its face 10-15 dB and 239; a die showing another face 62 in its
# tile; a die 5, 4 or 3 pixels aside 57, 45, 32 (2 pixels pass); a window off
# the stage 14 dB and 163.
set -euo pipefail
walker="$(realpath "$1")"
compare="$(realpath "$2")"
path="$3"
folder="$(realpath "$4")"
references="$folder/reference"

work="$(mktemp -d)"
compositor=
cleanup() {
  if [[ -n "$compositor" ]]; then kill "$compositor" 2>/dev/null || true; wait "$compositor" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# No sound device, so that the information box comes up first.
export ALSOFT_DRIVERS=nonexistent
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# The two walks, each in an empty folder of its own (a fresh high-score list).
walk() { # output folder, yes or no for the stage, then the command that runs the walker
  local out="$1" stage="$2"
  shift 2
  rm -rf "$out" "$work/play"
  mkdir -p "$out" "$work/play"
  (cd "$work/play" && "$@" "$walker" "$work/shoot.sh" "$out" --stage "$stage") ||
    { echo "FAIL: the walk through the windows failed on $path" >&2; exit 1; }
  rm -rf "$work/play"
  mkdir "$work/play"
  (cd "$work/play" && "$@" "$walker" "$work/shoot.sh" "$out" --stage "$stage" --missing-library) ||
    { echo "FAIL: the walk to the error box failed on $path" >&2; exit 1; }
}

x11() { # screen size, yes or no for the stage, then environment settings
  local screen="$1" stage="$2"
  shift 2
  printf '#!/usr/bin/env bash\nimport -window root "$1"\n' >"$work/shoot.sh"
  chmod +x "$work/shoot.sh"
  walk "$folder/$path" "$stage" env -u WAYLAND_DISPLAY -u XDG_SESSION_TYPE "$@" \
    xvfb-run -a -s "-screen 0 ${screen}x24" timeout 120
}

wayland() {
  if ! command -v weston >/dev/null || ! command -v weston-screenshooter >/dev/null; then
    echo "SKIP: weston is not installed"
    exit 77
  fi
  # --debug offers the screenshot protocol; pixman keeps weston off GL.
  weston --backend=headless-backend.so --use-pixman --debug --socket=dorvel-pictures \
    --width=1280 --height=800 --idle-time=0 >"$work/weston.log" 2>&1 &
  compositor=$!
  for _ in $(seq 1 100); do [[ -S "$XDG_RUNTIME_DIR/dorvel-pictures" ]] && break; sleep 0.1; done
  [[ -S "$XDG_RUNTIME_DIR/dorvel-pictures" ]] || { cat "$work/weston.log" >&2; echo "FAIL: weston did not start" >&2; exit 1; }
  cat >"$work/shoot.sh" <<'SHOOT'
#!/usr/bin/env bash
set -euo pipefail
dir="$(mktemp -d)"
cd "$dir"
timeout 30 weston-screenshooter >/dev/null 2>&1
mv wayland-screenshot-*.png "$1"
rmdir "$dir"
SHOOT
  chmod +x "$work/shoot.sh"
  # The headless compositor has no keyboard: no input method, or Qt's Wayland
  # text input fails on the keys the walk sends.
  walk "$folder/$path" yes env -u DISPLAY WAYLAND_DISPLAY=dorvel-pictures XDG_SESSION_TYPE=wayland \
    QT_QPA_PLATFORM=wayland QT_IM_MODULE=none timeout 120
}

case "$path" in
  reference) x11 800x600 no; echo "references written to $references"; exit 0 ;;
  x11) x11 1600x1200 yes ;;
  x11-scale2) x11 1600x1200 yes QT_SCALE_FACTOR=2 ;;
  wayland) wayland ;;
  *) echo "unknown path $path" >&2; exit 2 ;;
esac

failed=0
for window in information start-screen names game highscore error; do
  boxes=()
  [[ -f "$references/$window.box" ]] && boxes=(--boxes "$references/$window.box" "$folder/$path/$window.box")
  "$compare" "$references/$window.png" "$folder/$path/$window.png" \
    --diff "$folder/$path/$window-diff.png" "${boxes[@]}" || failed=1
done
((failed == 0)) || { echo "FAIL: windows on $path differ from the 800x600 screen (see $folder/$path)" >&2; exit 1; }
echo "$path: every window as on an 800x600 screen"
