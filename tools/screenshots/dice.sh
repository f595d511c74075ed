#!/bin/sh
# Renders the dice view's screenshots into docs/ (dice-rest.png: five throws at
# rest; dice-held.png: two dice held; dice-rolling.png: a moment of a roll;
# dice-onscreen.png: that moment grabbed from a 16-bit X screen).
# Usage: tools/screenshots/dice.sh [build dir]   (default build/dev)
set -eu
cd "$(dirname "$0")/../.."
build=${1:-build/dev}
cmake --build "$build" --target dice_screenshots
xvfb-run -a -s "-screen 0 800x600x16" "$build/bin/dice_screenshots" docs
