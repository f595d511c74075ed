#!/usr/bin/env bash
# A program that cannot find its resource library says so in an error box and,
# once the box is confirmed, ends with a non-zero code without writing
# "dorvel.cfg".
#
# usage: missing_library.sh <path of dorvel20>
set -euo pipefail
program="$(realpath "$1")"
if [[ -z "${DORVEL_E2E_X:-}" ]]; then
  DORVEL_E2E_X=1 ALSOFT_DRIVERS=null exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi
work="$(mktemp -d)"
trap 'if [[ -n "${pid:-}" ]]; then kill "$pid" 2>/dev/null || true; fi; rm -rf "$work"' EXIT
# A copy of the program in a folder without redizo.dll (and none installed).
cp "$program" "$work/dorvel20"
cd "$work"
./dorvel20 > out.log 2>&1 &
pid=$!
timeout 20 xdotool search --sync --name '^Fehler$' >/dev/null || { echo "FAIL: no error box"; exit 1; }
sleep 0.3
xdotool key Return
code=0
timeout 10 tail --pid="$pid" -f /dev/null || { echo "FAIL: the program did not end"; exit 1; }
wait "$pid" || code=$?
pid=
[[ $code -ne 0 ]] || { echo "FAIL: exit code 0"; exit 1; }
[[ ! -e dorvel.cfg ]] || { echo "FAIL: dorvel.cfg written"; exit 1; }
echo "missing library: error box, exit code $code, nothing written"
