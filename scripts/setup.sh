#!/usr/bin/env bash
# Installs what building, running and testing Tavrin needs on Debian 12: the
# packages listed below. Installs only what is missing; runs as root (or
# through sudo). scripts/check-deps.sh checks that every command the scripts
# and the build call comes from one of them or from what they depend on.
#   scripts/setup.sh          install what is missing of everything: building,
#                             running and the whole test command
#   scripts/setup.sh --run    install only what building and running the
#                             programs need (scripts/run.sh)
#   scripts/setup.sh --list   print every package name, one a line, and stop
set -euo pipefail
run_packages=(
  # build
  cmake make pkg-config g++
  qt6-base-dev qt6-base-dev-tools libgl-dev nlohmann-json3-dev
  # the real network: Samba's client libraries
  samba-dev
  # running without a display (under Xvfb), with a font
  xvfb xauth fonts-dejavu-core
)
test_packages=(
  # the tests and the benchmarks
  googletest libgtest-dev libbenchmark-dev
  # fuzzing and the sanitizer runs
  clang libclang-rt-14-dev
  # formatting check
  clang-format
  # the Windows check: mingw-w64 cross-compiler and Wine (the wine package
  # brings the wine, wineboot and wineserver commands; wine64 alone none),
  # and NSIS for the Windows installer
  g++-mingw-w64-x86-64-posix wine wine64 nsis
  # the Debian package (cpack finds its dependencies with dpkg-shlibdeps)
  # and its check
  dpkg-dev lintian
  # screenshots
  imagemagick
  # a Samba server, its client tools and the user tools for the tests on loopback
  samba smbclient passwd
  # the silent-computer test's network namespace and veth pair (ip netns)
  iproute2
)
packages=("${run_packages[@]}" "${test_packages[@]}")
if [[ "${1:-}" == "--run" ]]; then
  packages=("${run_packages[@]}")
fi

if [[ "${1:-}" == "--list" ]]; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  [[ $(id -u) -eq 0 ]] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
