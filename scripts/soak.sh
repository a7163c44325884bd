#!/bin/bash
# The window's long soak: thousands of random steps on the simulated network
# (accounts chosen, blocks staged, commits, discards, refreshes, rescans,
# removals, stops, and computers that stop answering, refuse access or fail
# a write), checked after every step. Usage:
#   bash scripts/soak.sh [STEPS] [SEED]
# STEPS defaults to 10000, SEED to a random one; a failure prints the seed
# and the step, so that the run can be repeated exactly.
set -euo pipefail
cd "$(dirname "$0")/.."
steps=${1:-10000}
seed=${2:-$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')}
build=${SOAK_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target soak_test >/dev/null
echo "soak: $steps steps, seed $seed"
if QT_QPA_PLATFORM=offscreen TAVRIN_SOAK_STEPS=$steps TAVRIN_SOAK_SEED=$seed \
  "$build/tests/app/soak_test" --gtest_brief=1 2>&1 | grep -v 'propagateSizeHints'; then
  echo "soak: $steps steps clean (seed $seed)"
else
  echo "soak: FAILED with seed $seed (repeat: bash scripts/soak.sh $steps $seed)"
  exit 1
fi
