#!/usr/bin/env bash
# Screenshot of the high-score window over a sample list: docs/highscore.png.
# Usage: tools/screenshots/highscore.sh [build folder]   (default build/dev)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build/dev}" && pwd)"
out="$root/docs/highscore.png"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cd "$work"
xvfb-run -a -s "-screen 0 800x600x24" bash -c '
    "$1" --sample --close-after 20000 &
    pid=$!
    xdotool search --sync --name "^Highscore$" >/dev/null
    sleep 0.5   # let the first paint finish
    import -display "$DISPLAY" -window root -crop 190x464+595+70 +repage "$2"
    kill "$pid"
    wait "$pid" || true
' shot "$build/bin/highscore_preview" "$out"
echo "wrote $out"
