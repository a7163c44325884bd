#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tavrin. Off Windows it runs on
# the built-in simulated network, or on the one TAVRIN_SIM_NETWORK names.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "run: no display; starting under xvfb-run (nothing will be visible)"
  exec xvfb-run -a -s "-screen 0 1280x800x24" build/app/tavrin
fi
exec build/app/tavrin
