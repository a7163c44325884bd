#!/usr/bin/env bash
# The window on a real network: starts a private Samba server on loopback
# (scripts/samba-test-server.sh), gives Everyone (the account the window
# shows first) a few rights with Samba's own tools, runs the program against it on a
# virtual X server with a computer list of the server and a closed port,
# and saves a picture of the screen. Needs root, like the server.
#   scripts/screenshot-real.sh [OUTPUT.png] [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/docs/screenshot-real.png}
wait_s=${2:-6}
build=${BUILD_DIR:-$root/build}
cmake --build "$build" --target tavrin -j2 >/dev/null
dir=$(mktemp -d)
trap 'bash "$root/scripts/samba-test-server.sh" stop "$dir/samba"' EXIT
bash "$root/scripts/samba-test-server.sh" start "$dir/samba"
set -a
. "$dir/samba/server.env"
set +a
rpcclient -s "$CONF" -p "$PORT" -A "$ADMIN_AUTH" 127.0.0.1 \
  -c "lsaaddacctrights S-1-1-0 SeChangeNotifyPrivilege SeShutdownPrivilege SeBackupPrivilege" \
  >/dev/null 2>&1
printf '127.0.0.1:%s\n%s\n127.0.0.1:1\n' "$PORT" "$NAME" >"$dir/computers.txt"
mkdir -p "$(dirname "$out")"
xvfb-run -a -s "-screen 0 1024x640x24 -dpi 96" bash -c '
  exec 3< <(printf "%s\n" "$ADMIN_PASSWORD")
  "$1" --network real --server "127.0.0.1:$PORT" --user "$NAME\\$ADMIN" --password-fd 3 \
       --computers-file "$2" & pid=$!
  sleep "$3"
  import -window root -crop 662x482+0+0 +repage "$4"
  kill $pid 2>/dev/null || true
  wait $pid 2>/dev/null || true
' _ "$build/app/tavrin" "$dir/computers.txt" "$wait_s" "$out"
echo "wrote $out"
