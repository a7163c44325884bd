#!/bin/sh
# Builds the screenshot program if needed and renders the main window with a
# few staged rows on a virtual X server: docs/screenshot.png, the tool tip of
# a row that could not be read in docs/screenshot-tooltip.png, the about
# box in docs/about.png, and a commit's question and summary in
# docs/screenshot-commit.png and docs/screenshot-summary.png, the window
# with all 45 rights in docs/screenshot-all-rights.png, the History window
# after a few commits in docs/screenshot-history.png, and who holds a right
# on every computer (the By-right mode) in docs/screenshot-by-right.png, and
# the undo of the first commit staged from History in docs/screenshot-undo.png
# with its summary in docs/screenshot-undo-summary.png.
#   scripts/screenshot.sh [BUILD_DIR]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build"
fi
cmake --build "$build" --target tavrin_screenshot -j2
mkdir -p "$root/docs"
xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" \
  "$build/app/tavrin_screenshot" "$root/docs/screenshot.png" "$root/docs/about.png" \
  "$(mktemp -d)/report.html" "$root/docs/screenshot-tooltip.png" \
  "$root/docs/screenshot-commit.png" "$root/docs/screenshot-summary.png" \
  "$root/docs/screenshot-all-rights.png" "$root/docs/screenshot-history.png" \
  "$root/docs/screenshot-by-right.png" "$root/docs/screenshot-undo.png" \
  "$root/docs/screenshot-undo-summary.png"
echo "wrote $root/docs/screenshot.png, $root/docs/screenshot-tooltip.png, $root/docs/about.png,"
echo "$root/docs/screenshot-commit.png, $root/docs/screenshot-summary.png,"
echo "$root/docs/screenshot-all-rights.png, $root/docs/screenshot-history.png and"
echo "$root/docs/screenshot-by-right.png, and the undo in $root/docs/screenshot-undo.png"
