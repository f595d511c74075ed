#!/usr/bin/env bash
# Screenshot of the high-score window over a game table in progress:
# docs/highscore-over-table.png. Usage: tools/screenshots/highscore-over-table.sh [build dir]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build/dev}"
out="$root/docs/highscore-over-table.png"
cmake --build "$build" --target game_table_preview highscore_preview redizo
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
xvfb-run -a -s "-screen 0 800x600x24" bash -c '
    "$1" --close-after 30000 >ready.txt &
    table=$!
    for _ in $(seq 100); do
        grep -q ready ready.txt 2>/dev/null && break
        sleep 0.1
    done
    sleep 0.5   # let the dice view draw its first frame
    "$2" --sample --close-after 30000 &
    list=$!
    xdotool search --sync --name "^Highscore$" >/dev/null
    sleep 0.5
    import -display "$DISPLAY" -window root "$3"
    kill "$list" "$table"
    wait || true
' shot "$build/bin/game_table_preview" "$build/bin/highscore_preview" "$out"
echo "wrote $out"
