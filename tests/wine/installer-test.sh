#!/usr/bin/env bash
# The Windows installer under Wine: a silent install (/S) into Program Files
# with its Start-menu entry and its Add/Remove Programs entry; the installed
# tavrin-cli.exe answers --version and --help; the installed window passes
# the smoke test; a silent uninstall leaves no file, shortcut or registry key
# of Tavrin. Then the portable zip: the same files as installed, and its
# tavrin-cli.exe runs.
#   installer-test.sh SETUP ZIP PROBE VERSION
# Runs in the Wine prefix WINEPREFIX names.
set -euo pipefail
setup=$1 zip=$2 probe=$3 version=$4
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Wine would copy the Start-menu entries to the Linux desktop: not here.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winemenubuilder.exe=d"
drive_c=$WINEPREFIX/drive_c
dir="$drive_c/Program Files/Tavrin"
menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tavrin"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavrin'
status=0
fail() {
  echo "installer: $*"
  status=1
}
# wait_for SECONDS TEST...: polls until TEST holds; false when it never did.
wait_for() {
  local limit=$(($1 * 4))
  shift
  for ((i = 0; i < limit; i++)); do
    "$@" && return 0
    sleep 0.25
  done
  return 1
}
gone() { [[ ! -e "$dir" && ! -e "$menu" ]]; }

# What an earlier failed run may have left.
rm -rf "$dir" "$menu"
wine reg delete "$key" /f >/dev/null 2>&1 || true
wine reg delete 'HKCU\Software\Tavrin' /f >/dev/null 2>&1 || true  # and earlier windows' settings

timeout 180 wine "$setup" /S || fail "the silent install ended with exit status $?"
for file in tavrin.exe tavrin-cli.exe uninstall.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll \
  libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll platforms/qwindows.dll \
  manual/index.html manual/cli.html manual/images/state-held.png; do
  [[ -f "$dir/$file" ]] || fail "not installed: Program Files/Tavrin/$file"
done
[[ -f "$menu/Tavrin.lnk" ]] || fail "no Start-menu entry Tavrin"
entry=$(wine reg query "$key" 2>/dev/null | tr -d '\r') || true
for value in "DisplayName +REG_SZ +Tavrin$" "DisplayVersion +REG_SZ +$version$" \
  'UninstallString +REG_SZ +"C:\\Program Files\\Tavrin\\uninstall.exe"$'; do
  grep -qE "^ +$value" <<<"$entry" || fail "Add/Remove Programs entry without $value: $entry"
done

(cd "$dir" && find . -type f | sed 's|^\./||' | grep -vx uninstall.exe | sort) >"$work/installed"

cli="C:\\Program Files\\Tavrin\\tavrin-cli.exe"
out=$(timeout 60 wine "$cli" --version | tr -d '\r') || fail "installed tavrin-cli.exe --version failed"
[[ $out == "tavrin-cli $version" ]] || fail "installed tavrin-cli.exe --version: $out"
out=$(timeout 60 wine "$cli" --help | tr -d '\r') || fail "installed tavrin-cli.exe --help failed"
grep -q '^Usage:' <<<"$out" && grep -q 'SeBackupPrivilege' <<<"$out" ||
  fail "installed tavrin-cli.exe --help: $out"

bash "$here/window-smoke.sh" "$dir" "$probe" || fail "the installed window failed its smoke test"

# The uninstaller copies itself elsewhere and returns at once: wait for it.
timeout 60 wine "$dir/uninstall.exe" /S || fail "the silent uninstall ended with exit status $?"
wait_for 60 gone || fail "after uninstalling, still there: $(cd "$drive_c" && find "Program Files/Tavrin" \
  "ProgramData/Microsoft/Windows/Start Menu/Programs/Tavrin" 2>/dev/null | head -n 20)"
if wine reg query "$key" >/dev/null 2>&1; then
  fail "after uninstalling, the Add/Remove Programs entry is still there"
fi
# Nothing of Tavrin left in the machine's or the user's software keys.
for hive in 'HKLM\Software' 'HKCU\Software'; do
  rm -f "$work/hive.reg"
  timeout 60 wine reg export "$hive" 'Z:'"${work//\//\\}"'\hive.reg' /y >/dev/null 2>&1 ||
    fail "cannot export $hive"
  # Keys only: a value elsewhere may name a file under a folder called tavrin.
  left=$(iconv -f UTF-16LE -t UTF-8 "$work/hive.reg" 2>/dev/null | tr -d '\r' |
    grep -i '^\[.*tavrin') || true
  [[ -z $left ]] || fail "after uninstalling, $hive still holds: $left"
done

# The zip: the same files as installed (but the uninstaller), and it runs.
cmake -E chdir "$work" cmake -E tar xf "$zip"
(cd "$work" && find Tavrin -type f | sed 's|^Tavrin/||' | sort) >"$work/zipped"
diff "$work/installed" "$work/zipped" >"$work/diff" ||
  fail "the zip and the installation differ (< installed, > zipped): $(cat "$work/diff")"
out=$(timeout 60 wine "$work/Tavrin/tavrin-cli.exe" --version | tr -d '\r') || true
[[ $out == "tavrin-cli $version" ]] || fail "tavrin-cli.exe from the zip --version: $out"
echo "$(wc -l <"$work/zipped") files in the zip"
exit $status
