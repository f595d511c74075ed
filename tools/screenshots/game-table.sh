#!/usr/bin/env bash
# Screenshot of the game table in the middle of a three-player game:
# docs/game-table.png.
# Usage: tools/screenshots/game-table.sh [build folder]   (default build/dev)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$(cd "${1:-$root/build/dev}" && pwd)"
out="$root/docs/game-table.png"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cmake --build "$build" --target game_table_preview redizo
cd "$work"
xvfb-run -a -s "-screen 0 800x600x24" bash -c '
    "$1" --close-after 30000 >ready.txt &
    pid=$!
    for _ in $(seq 100); do
        grep -q ready ready.txt 2>/dev/null && break
        sleep 0.1
    done
    sleep 0.5   # let the dice view draw its first frame
    import -display "$DISPLAY" -window root "$2"
    kill "$pid"
    wait "$pid" || true
' shot "$build/bin/game_table_preview" "$out"
echo "wrote $out"
