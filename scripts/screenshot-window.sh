#!/usr/bin/env bash
# Starts the real program on a virtual X server (on the built-in simulated
# network, or the one TAVRIN_SIM_NETWORK names), waits, and saves a picture
# of the screen.
#   scripts/screenshot-window.sh [OUTPUT.png] [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/window.png}
wait_s=${2:-4}
build=${BUILD_DIR:-$root/build}
if [[ ! -x "$build/app/tavrin" ]]; then
  BUILD_DIR="$build" bash "$root/scripts/build.sh"
fi
mkdir -p "$(dirname "$out")"
# The window's settings of this run only: the picture never depends on earlier runs.
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
export XDG_CONFIG_HOME="$config"
xvfb-run -a -s "-screen 0 900x600x24 -dpi 96" bash -c '
  "$1" & pid=$!
  sleep "$2"
  import -window root "$3"
  kill $pid 2>/dev/null || true
  wait $pid 2>/dev/null || true
' _ "$build/app/tavrin" "$wait_s" "$out"
echo "wrote $out"
