#!/usr/bin/env bash
# The window on a real network: starts two private Samba servers on loopback
# (scripts/samba-test-server.sh), TAVRIN-ALPHA and TAVRIN-BETA, gives
# Everyone (the account the window shows first) different rights on each with
# Samba's own tools, runs the program against them on a virtual X server with
# a computer list of both servers and a closed port, and saves a picture of
# the screen once every row has been read (after 6 s, three pictures a second
# apart are the same; at most SECONDS). Needs root, like the servers.
#   scripts/screenshot-real.sh [OUTPUT.png] [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/docs/screenshot-real.png}
wait_s=${2:-40}
build=${BUILD_DIR:-$root/build}
cmake --build "$build" --target tavrin -j2 >/dev/null
dir=$(mktemp -d)
stop() {
  bash "$root/scripts/samba-test-server.sh" stop "$dir/beta" || true
  bash "$root/scripts/samba-test-server.sh" stop "$dir/alpha" || true
  rm -rf "$dir"
}
trap stop EXIT
SAMBA_TEST_NAME=TAVRIN-ALPHA bash "$root/scripts/samba-test-server.sh" start "$dir/alpha"
SAMBA_TEST_NAME=TAVRIN-BETA bash "$root/scripts/samba-test-server.sh" start "$dir/beta"
grant() {  # grant SERVER_DIR RIGHT...
  local env=$1/server.env
  shift
  (
    . "$env"
    rpcclient -s "$CONF" -p "$PORT" -A "$ADMIN_AUTH" 127.0.0.1 -c "lsaaddacctrights S-1-1-0 $*" \
      >/dev/null 2>&1
  )
}
grant "$dir/alpha" SeChangeNotifyPrivilege SeShutdownPrivilege SeBackupPrivilege
grant "$dir/beta" SeRestorePrivilege SeRemoteShutdownPrivilege SeTakeOwnershipPrivilege
beta_port=$(. "$dir/beta/server.env" && echo "$PORT")
set -a
. "$dir/alpha/server.env"
set +a
printf '127.0.0.1:%s\n127.0.0.1:%s\n127.0.0.1:1\n' "$PORT" "$beta_port" >"$dir/computers.txt"
mkdir -p "$(dirname "$out")"
# The window's settings of this run only: the picture never depends on earlier runs.
export XDG_CONFIG_HOME="$dir/config"
xvfb-run -a -s "-screen 0 1024x640x24 -dpi 96" bash -c '
  exec 3< <(printf "%s\n" "$ADMIN_PASSWORD")
  "$1" --network real --server "127.0.0.1:$PORT" --user "$NAME\\$ADMIN" --password-fd 3 \
       --computers-file "$2" & pid=$!
  shot() { import -window root -crop 662x482+0+0 +repage "png:$1"; }
  sleep 6
  shot "$4.last"
  settled=0 same=0
  for ((i = 6; i < $3; i++)); do
    sleep 1
    shot "$4.now"
    if cmp -s "$4.now" "$4.last"; then same=$((same + 1)); else same=0; fi
    mv "$4.now" "$4.last"
    if ((same == 2)); then settled=1; break; fi
  done
  mv "$4.last" "$4"
  rm -f "$4.now"
  kill $pid 2>/dev/null || true
  wait $pid 2>/dev/null || true
  [[ $settled -eq 1 ]] || { echo "screenshot-real: the window still changed after $3 s" >&2; exit 1; }
' _ "$build/app/tavrin" "$dir/computers.txt" "$wait_s" "$out"
echo "wrote $out"
