#!/usr/bin/env bash
# The Windows check: cross-compiles the real Windows platform layer, the core
# and the core's tests with mingw-w64 and runs the tests under Wine (64-bit,
# headless, in a prefix of its own). Tests that drive the simulated network
# are not part of this build. Fails when any test fails or none ran.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${WIN_BUILD_DIR:-build-win}

cmake -S . -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DTAVRIN_CORE_ONLY=ON -DTAVRIN_BENCH=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"

export WINEPREFIX="$PWD/$BUILD_DIR/wineprefix"
export WINEDEBUG=-all
export WINEARCH=win64
# No Mono or Gecko installers (no network here), no display needed.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  echo "windows-check: creating the Wine prefix"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
fi

log="$BUILD_DIR/wine-tests.log"
set +e
ctest --test-dir "$BUILD_DIR" --output-on-failure -j1 2>&1 | tee "$log"
rc=${PIPESTATUS[0]}
set -e
wineserver -k >/dev/null 2>&1 || true

ran=$(grep -cE 'Test +#[0-9]+: ' "$log" || true)
echo "windows-check: tests run under Wine:"
grep -E 'Test +#[0-9]+: ' "$log" | sed -E 's/^ *[0-9]+\/[0-9]+ Test +#[0-9]+: /  /' || true
if [[ "$ran" -eq 0 ]]; then
  echo "windows-check: no test ran under Wine" >&2
  exit 1
fi
if [[ $rc -ne 0 ]]; then
  echo "windows-check: a test failed under Wine" >&2
  exit $rc
fi
echo "windows-check: $ran test programs passed under Wine"
