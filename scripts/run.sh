#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tavrin. Off Windows it runs on
# the built-in simulated network, or on the one TAVRIN_SIM_NETWORK names.
# Installs and builds only what the programs need: the tests and their tools
# come with scripts/setup.sh and scripts/build.sh (or scripts/test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --run
if [[ ! -f build/CMakeCache.txt ]]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_TESTS=OFF -DTAVRIN_BENCH=OFF >/dev/null
fi
cmake --build build -j"$(nproc)" --target tavrin tavrin-cli
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "run: no display; starting under xvfb-run (nothing will be visible)"
  exec xvfb-run -a -s "-screen 0 1280x800x24" build/app/tavrin
fi
exec build/app/tavrin
