#!/usr/bin/env bash
# The Windows check: cross-compiles the real Windows platform layer, the core
# and the core's tests with mingw-w64 and runs the tests under Wine (64-bit,
# headless, in a prefix of its own). Tests that drive the simulated network
# are not part of this build. With a Qt for mingw-w64 at hand it also builds
# the window tavrin.exe, runs its tests that need no simulated network, a
# smoke test of the real window on a virtual display, and the installer's
# test. Fails when any test fails or none ran.
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

mkdir -p "$BUILD_DIR"
BUILD_DIR=$(cd "$BUILD_DIR" && pwd)
log="$BUILD_DIR/wine-tests.log"
rm -f "$log"

# The window needs a Qt for mingw-w64: an unpacked one named by
# TAVRIN_QT_MINGW, or the archive in ../shared/qt6-mingw/ (see
# scripts/build-qt-mingw.sh), unpacked into the build folder once and again
# only when the archive changed. Without either, the window part is skipped
# (and said so in the log) and only the core and its tests are built.
qt_archive=${TAVRIN_QT_MINGW_ARCHIVE:-../shared/qt6-mingw/qt6.4.2-mingw-w64-x86_64.tar.xz}
qt=
skipped=
if [[ -n "${TAVRIN_QT_MINGW:-}" ]]; then
  if [[ ! -x "$TAVRIN_QT_MINGW/bin/qt-cmake" ]]; then
    echo "windows-check: TAVRIN_QT_MINGW=$TAVRIN_QT_MINGW holds no bin/qt-cmake" >&2
    exit 1
  fi
  qt=$(cd "$TAVRIN_QT_MINGW" && pwd)
elif [[ -f "$qt_archive" ]]; then
  qt=$BUILD_DIR/qt6-mingw
  stamp="$(stat -c '%s %Y' "$qt_archive") $(sha256sum <"$qt_archive" | cut -d' ' -f1)"
  if [[ ! -x "$qt/bin/qt-cmake" || "$(cat "$qt.stamp" 2>/dev/null)" != "$stamp" ]]; then
    echo "windows-check: unpacking $qt_archive"
    rm -rf "$qt" "$qt.stamp" "$BUILD_DIR/with-qt"
    tar -xJf "$qt_archive" -C "$BUILD_DIR"
    [[ -x "$qt/bin/qt-cmake" ]] || { echo "windows-check: $qt_archive holds no qt6-mingw/bin/qt-cmake" >&2; exit 1; }
    echo "$stamp" >"$qt.stamp"
  fi
else
  skipped="the window for Windows (tavrin.exe, its tests under Wine, the installer): no Qt for mingw-w64 (set TAVRIN_QT_MINGW to an unpacked one, or put the archive at $qt_archive; scripts/build-qt-mingw.sh builds it)"
fi

if [[ -n "$qt" ]]; then
  # Everything in one Release build: the core, the window, the command-line
  # program, their tests and the installer.
  tree="$BUILD_DIR/with-qt"
  "$qt/bin/qt-cmake" -S . -B "$tree" -DCMAKE_CROSSCOMPILING_EMULATOR=wine \
    -DTAVRIN_BENCH=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
  # The test programs load Qt's and the mingw-w64 runtime's DLLs from here.
  winepath=
  for dir in "$qt/bin" $(dirname $(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll) \
    $(x86_64-w64-mingw32-g++-posix -print-file-name=libwinpthread-1.dll)); do
    winepath+="Z:${dir//\//\\};"
  done
  export WINEPATH=$winepath
  export QT_PLUGIN_PATH="Z:${qt//\//\\}\\plugins"
else
  tree=$BUILD_DIR
  cmake -S . -B "$tree" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DTAVRIN_CORE_ONLY=ON -DTAVRIN_BENCH=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$tree" -j"$(nproc)"

export WINEPREFIX="$(cd "$BUILD_DIR" && pwd)/wineprefix"
export WINEDEBUG=-all
export WINEARCH=win64
# No Mono or Gecko installers (no network here), no display needed, and no
# menu entries or icons written to the Linux desktop (winemenubuilder).
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
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

# Wine brings neither Arial nor MS Sans Serif, the window's fonts: DejaVu
# Sans stands in for both, as fontconfig has it natively.
if [[ ! -f "$WINEPREFIX/tavrin-fonts.done" ]]; then
  for font in Arial "MS Sans Serif"; do
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /d "DejaVu Sans" /f >/dev/null
  done
  touch "$WINEPREFIX/tavrin-fonts.done"
fi
if [[ -n "$qt" ]]; then
  # tests/app/CMakeLists.txt leaves this case out under Wine.
  skipped="MainWindow.VelmarLinkFitsItsText of main_window_test: under Wine the tests draw offscreen without Windows' fonts"
fi

set +e
ctest --test-dir "$tree" --output-on-failure -j1 2>&1 | tee "$log"
rc=${PIPESTATUS[0]}
set -e
wineserver -k >/dev/null 2>&1 || true

if [[ -n "$skipped" ]]; then
  # Counted by the test command as skipped, never as passed.
  echo "SKIPPED: $skipped" | tee -a "$log"
fi
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
