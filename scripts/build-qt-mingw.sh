#!/usr/bin/env bash
# Builds the Qt for 64-bit Windows that the Windows check builds the window
# with, and writes it as OUT_DIR/qt6.4.2-mingw-w64-x86_64.tar.xz (about 11 MB):
#   bash scripts/build-qt-mingw.sh [OUT_DIR]      (default ../shared/qt6-mingw)
#
# Qt 6.4.2 from Debian 12's own qt6-base source package, cross-built with
# Debian's mingw-w64 (posix threads) as shared libraries: Core, Gui, Widgets
# and Test, the windows, offscreen and minimal platform plugins and the
# Windows styles; the host tools (moc, uic, rcc) are Debian's, from /usr.
# SQL, network, D-Bus, OpenGL, print support, concurrent and XML are left out:
# the program needs none of them. Debian's source has no Wintab header, so
# the windows platform plugin is built without graphics-tablet input.
#
# Takes about an hour on two cores and a few GB in a temporary folder. Runs
# as root (or through sudo) on Debian 12: it installs what it needs and asks
# apt for the source package from the machine's own Debian sources.
#
# Use the result as the Windows check does: tar xJf the archive into a folder
# and configure with qt6-mingw/bin/qt-cmake, which chains to the mingw
# toolchain file inside it. A program built so needs beside it Qt6Core.dll,
# Qt6Gui.dll, Qt6Widgets.dll, platforms/qwindows.dll and the mingw runtime
# (libstdc++-6.dll, libgcc_s_seh-1.dll, libwinpthread-1.dll).
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(mkdir -p "${1:-../shared/qt6-mingw}" && cd "${1:-../shared/qt6-mingw}" && pwd)
version=6.4.2
debian_version=6.4.2+dfsg-10
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

SUDO=""
[[ $(id -u) -eq 0 ]] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get install -y -qq --no-install-recommends dpkg-dev xz-utils cmake ninja-build \
  qt6-base-dev qt6-base-dev-tools g++-mingw-w64-x86-64-posix >/dev/null

# The source package, from the machine's own Debian sources asked for sources,
# with apt's lists kept in the temporary folder.
mkdir -p "$work/sources.d" "$work/lists/partial"
sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
  >"$work/sources.d/debian-src.sources"
apt_options=(-o Dir::Etc::sourcelist=/dev/null -o Dir::Etc::sourceparts="$work/sources.d"
  -o Dir::State::lists="$work/lists")
apt-get -qq "${apt_options[@]}" update
(cd "$work" && apt-get -qq "${apt_options[@]}" source --download-only "qt6-base=$debian_version")
tar -C "$work" -xf "$work/qt6-base_${version}+dfsg.orig.tar.xz"
src=$work/qtbase-everywhere-src-$version

# No Wintab header: the windows and direct2d plugins without tablet input.
windows=$src/src/plugins/platforms/windows
sed -i 's/QT_CONFIG(tabletevent)/0/g' "$windows/qwindowscontext.cpp" \
  "$windows/qwindowspointerhandler.cpp" "$windows/qwindowspointerhandler.h"
sed -i 's/CONDITION QT_FEATURE_tabletevent/CONDITION FALSE/' "$windows/CMakeLists.txt" \
  "$src/src/plugins/platforms/direct2d/CMakeLists.txt"

# The toolchain: the project's compilers, without its static linking (Qt's
# libraries are DLLs that share one runtime).
toolchain=$work/mingw-w64-x86_64.cmake
grep -E '^set\(CMAKE_(SYSTEM_NAME|SYSTEM_PROCESSOR|C_COMPILER|CXX_COMPILER|RC_COMPILER|FIND_ROOT_PATH)' \
  cmake/mingw-w64-x86_64.cmake >"$toolchain"

prefix=$work/qt6-mingw
cmake -S "$src" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF \
  -DINPUT_opengl=no -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF \
  -DFEATURE_vulkan=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF \
  -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF -DFEATURE_system_harfbuzz=OFF \
  -DFEATURE_system_freetype=OFF -DFEATURE_system_doubleconversion=OFF
cmake --build "$work/build" --parallel "$(nproc)"
cmake --install "$work/build"

# Relocatable: Qt's toolchain file chains to the toolchain file beside it
# rather than to the temporary one it was configured with.
cp "$toolchain" "$prefix/lib/cmake/Qt6/"
sed -i 's|set(__qt_initially_configured_toolchain_file "[^"]*")|set(__qt_initially_configured_toolchain_file "${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake")|' \
  "$prefix/lib/cmake/Qt6/qt.toolchain.cmake"
find "$prefix/bin" "$prefix/plugins" -name '*.dll' -exec x86_64-w64-mingw32-strip --strip-unneeded {} +
rm -rf "$prefix/doc"
tar -C "$work" -cf - qt6-mingw | xz -T"$(nproc)" -6 >"$out/qt$version-mingw-w64-x86_64.tar.xz.new"
mv "$out/qt$version-mingw-w64-x86_64.tar.xz.new" "$out/qt$version-mingw-w64-x86_64.tar.xz"
echo "build-qt-mingw: written $out/qt$version-mingw-w64-x86_64.tar.xz"
