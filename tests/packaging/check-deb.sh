#!/usr/bin/env bash
# Packages the build with `cpack -G DEB`, then checks the package's file list
# and control fields, that its programs are stripped, runs the packaged
# tavrin-cli from an extracted copy and runs lintian on the package (no error,
# and no warning that the package's own override file does not justify).
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
  /usr/share/icons/hicolor/64x64/apps/tavrin.png /usr/share/icons/hicolor/128x128/apps/tavrin.png \
  /usr/share/icons/hicolor/256x256/apps/tavrin.png \
  /usr/share/man/man1/tavrin.1.gz /usr/share/man/man1/tavrin-cli.1.gz \
  /usr/share/doc/tavrin/copyright /usr/share/doc/tavrin/changelog.gz \
  /usr/share/tavrin/manual/index.html /usr/share/tavrin/manual/cli.html \
  /usr/share/tavrin/manual/images/state-held.png; do
  grep -qx "$file" "$work/files" || { echo "missing from the package: $file"; status=1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libqt6widgets6* ]] || { echo "no Qt runtime in Depends: $depends"; status=1; }
recommends=$(dpkg-deb -f "$deb" Recommends)
[[ $recommends == *xdg-utils* ]] || { echo "no xdg-utils in Recommends: $recommends"; status=1; }

dpkg-deb -x "$deb" "$work/root"
version=$("$work/root/usr/bin/tavrin-cli" --version)
[[ $version == "tavrin-cli "* ]] || { echo "packaged tavrin-cli --version: $version"; status=1; }
for program in tavrin tavrin-cli; do
  if readelf -S --wide "$work/root/usr/bin/$program" | grep -qE '\.(debug_info|symtab) '; then
    echo "not stripped: /usr/bin/$program"
    status=1
  fi
done
grep -q '^Keywords=.' "$work/root/usr/share/applications/tavrin.desktop" ||
  { echo "no Keywords= in the desktop entry"; status=1; }
# The manual pages render without a warning.
for page in tavrin tavrin-cli; do
  warnings=$(zcat "$work/root/usr/share/man/man1/$page.1.gz" | LC_ALL=C.UTF-8 MANWIDTH=80 \
    man --warnings -l - 2>&1 >/dev/null) || true
  [[ -z $warnings ]] || { echo "manual page $page.1: $warnings"; status=1; }
done

if ! lintian --fail-on error,warning --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1; then
  echo "lintian on $(basename "$deb"):"
  cat "$work/lintian.log"
  status=1
fi
exit $status
