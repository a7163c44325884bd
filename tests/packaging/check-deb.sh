#!/usr/bin/env bash
# Packages the build with `cpack -G DEB`, then checks the package's file list
# and runs the packaged tavrin-cli from an extracted copy.
set -euo pipefail
cpack=$1 config=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$cpack" -G DEB --config "$config" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/out/tavrin_*.deb)
dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$work/files"

status=0
for file in /usr/bin/tavrin /usr/bin/tavrin-cli /usr/share/applications/tavrin.desktop \
  /usr/share/icons/hicolor/16x16/apps/tavrin.png /usr/share/icons/hicolor/48x48/apps/tavrin.png \
  /usr/share/tavrin/manual/index.html /usr/share/tavrin/manual/cli.html \
  /usr/share/tavrin/manual/images/state-held.png; do
  grep -qx "$file" "$work/files" || { echo "missing from the package: $file"; status=1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libqt6widgets6* ]] || { echo "no Qt runtime in Depends: $depends"; status=1; }

dpkg-deb -x "$deb" "$work/root"
version=$("$work/root/usr/bin/tavrin-cli" --version)
[[ $version == "tavrin-cli "* ]] || { echo "packaged tavrin-cli --version: $version"; status=1; }
exit $status
