#!/usr/bin/env bash
# Starts the real tavrin.exe under Wine on a virtual X display, with the
# windows platform plugin: waits (bounded) for the main window titled
# "Tavrin", which shows only after the start-up steps passed on this
# computer's answers, takes a screenshot, asks the window to close and checks
# that the program ends by itself with exit status 0 and no error.
#   window-smoke.sh DIR PROBE [SCREENSHOT]
# DIR holds tavrin.exe and the DLLs it loads; PROBE is window-probe.exe.
# Runs in the Wine prefix WINEPREFIX names.
set -euo pipefail
dir=$1 probe=$2 shot=${3:-}
if [[ -z "${TAVRIN_SMOKE_DISPLAY:-}" ]]; then
  exec timeout 300 xvfb-run -a -s "-screen 0 1024x720x24" env TAVRIN_SMOKE_DISPLAY=1 bash "$0" "$@"
fi
[[ -f "$dir/tavrin.exe" && -f "$dir/platforms/qwindows.dll" ]] ||
  { echo "smoke: no tavrin.exe with platforms/qwindows.dll in $dir"; exit 1; }
work=$(mktemp -d)
pid=
cleanup() {
  [[ -n "$pid" ]] && kill "$pid" 2>/dev/null
  timeout 30 wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
# A Wine server left from headless programs has no display for the window:
# start afresh on this one.
timeout 60 wineserver -k >/dev/null 2>&1 || true
timeout 60 wineserver -w >/dev/null 2>&1 || true
export QT_QPA_PLATFORM=windows
unset QT_PLUGIN_PATH QT_QPA_PLATFORM_PLUGIN_PATH
# What an earlier run remembered (its size, its computers) is forgotten, so
# that every run, and its screenshot, starts alike.
wine reg delete 'HKCU\Software\Tavrin' /f >/dev/null 2>&1 || true

wine "$dir/tavrin.exe" >"$work/out" 2>"$work/err" &
pid=$!
if ! wine "$probe" wait Tavrin 120; then
  echo "smoke: the main window did not show; the program wrote:"
  cat "$work/out" "$work/err"
  exit 1
fi
sleep 3  # let it finish painting
if [[ -n "$shot" ]]; then
  import -window root -trim +repage "$shot"
  echo "smoke: screenshot $shot"
fi
wine "$probe" close Tavrin
status=
for _ in $(seq 1 120); do
  if ! kill -0 "$pid" 2>/dev/null; then
    set +e
    wait "$pid"
    status=$?
    set -e
    break
  fi
  sleep 0.25
done
pid_was=$pid
pid=
if [[ -z "$status" ]]; then
  echo "smoke: tavrin.exe (process $pid_was) did not end within 30 s of being closed"
  kill "$pid_was" 2>/dev/null || true
  exit 1
fi
if [[ $status -ne 0 ]]; then
  echo "smoke: tavrin.exe ended with exit status $status"
  cat "$work/out" "$work/err"
  exit 1
fi
if grep -q '^tavrin:' "$work/err"; then
  echo "smoke: tavrin.exe reported an error:"
  cat "$work/err"
  exit 1
fi
echo "smoke: tavrin.exe showed its window and closed cleanly"
