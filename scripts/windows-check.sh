#!/usr/bin/env bash
# The Windows check: cross-compiles the real Windows platform layer, the core
# and the core's tests with mingw-w64 and runs the tests under Wine (64-bit,
# headless, in a prefix of its own). Tests that drive the simulated network
# are not part of this build. Fails when any test fails or none ran.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${WIN_BUILD_DIR:-build-win}
toolchain=cmake/mingw-w64-x86_64.cmake

# Every command this check needs, with the Debian package that brings it:
# stop here, naming what is missing, rather than build and then run nothing.
declare -A package_of=(
  [wine]=wine [wineboot]=wine [wineserver]="wine (libwine)"
)
needed=(wine wineboot wineserver)
while read -r tool; do
  needed+=("$tool")
  package_of[$tool]=g++-mingw-w64-x86-64-posix
done < <(sed -nE 's/^set\(CMAKE_(C|CXX|RC)_COMPILER +([^ )]+)\)/\2/p' "$toolchain")
missing=0
for tool in "${needed[@]}"; do
  if ! command -v "$tool" >/dev/null; then
    echo "windows-check: command '$tool' not found; it comes with Debian package ${package_of[$tool]} (bash scripts/setup.sh installs it)" >&2
    missing=1
  fi
done
((missing == 0)) || exit 1

cmake -S . -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DTAVRIN_CORE_ONLY=ON -DTAVRIN_BENCH=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"

export WINEPREFIX="$(cd "$BUILD_DIR" && pwd)/wineprefix"
export WINEDEBUG=-all
export WINEARCH=win64
# No Mono or Gecko installers (no network here), no display needed.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
  echo "windows-check: creating the Wine prefix"
  rm -rf "$WINEPREFIX"  # what a failed attempt left
  bootlog="$BUILD_DIR/wineboot.log"
  set +e
  WINEDEBUG=err+all wineboot -i >"$bootlog" 2>&1
  rc=$?
  wineserver -w
  set -e
  if [[ $rc -ne 0 || ! -f "$WINEPREFIX/system.reg" ]]; then
    tail -n 20 "$bootlog" >&2
    echo "windows-check: creating the Wine prefix $WINEPREFIX failed (wineboot exit $rc, see $bootlog)" >&2
    exit 1
  fi
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
if grep -qE 'Not Run|Unable to find executable' "$log"; then
  echo "windows-check: some tests could not be started under Wine (see $log)" >&2
  exit 1
fi
if [[ "$ran" -eq 0 ]]; then
  echo "windows-check: no test ran under Wine" >&2
  exit 1
fi
if [[ $rc -ne 0 ]]; then
  echo "windows-check: a test failed under Wine" >&2
  exit $rc
fi
echo "windows-check: $ran test programs passed under Wine"
