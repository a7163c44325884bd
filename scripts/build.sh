#!/usr/bin/env bash
# Configures and builds Tavrin (program, tests, benchmarks) in build/.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_TESTS=ON >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"
