#!/usr/bin/env bash
# A private Samba server on loopback for the real-network tests.
#
#   samba-test-server.sh start DIR   configure and start it; DIR/server.env then
#                                    holds PORT, the server's NAME and the users
#   samba-test-server.sh stop DIR    stop both Samba processes by their PIDs,
#                                    remove the test's Unix users and DIR
#
# Everything the server writes lives under DIR; it listens on 127.0.0.1 only,
# on a free port of its own. The test users are Unix accounts (Samba needs
# them), created here and removed by stop:
#   root        in the server's own password database: may change rights
#   tvt_alice   the account whose rights the tests read and change
#   tvt_bob     a plain user, who may not change rights
# Unix groups tvt_staff and tvt_admins are mapped to a local group "Staff" and
# to the Builtin alias Administrators. Needs root (useradd, smbd).
# SAMBA_TEST_NAME gives the server another NetBIOS name (TAVRINTEST when not
# set), so that two servers can run side by side; the users are shared, and
# the server that created them removes them when it stops.
set -euo pipefail

cmd=${1:-}
dir=${2:-}
[[ -n "$cmd" && -n "$dir" ]] || {
  echo "usage: $0 start|stop DIR" >&2
  exit 2
}

name=${SAMBA_TEST_NAME:-TAVRINTEST}
users=(tvt_alice tvt_bob)
groups=(tvt_staff tvt_admins)
# Test passwords: these exist only in the private database under DIR.
admin_password='Tavrin-Root-1'
alice_password='Tavrin-Alice-1'
bob_password='Tavrin-Bob-1'

stop() {
  local pid_file
  for pid_file in "$dir/run/smbd.pid" "$dir/run/samba-dcerpcd.pid"; do
    [[ -f "$pid_file" ]] || continue
    local pid
    pid=$(<"$pid_file")
    [[ "$pid" =~ ^[0-9]+$ ]] || continue
    # Each leads a process group of its own with its workers in it.
    kill -TERM -- "-$pid" 2>/dev/null || kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 50); do
      kill -0 -- "-$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL -- "-$pid" 2>/dev/null || true
  done
  if [[ -f "$dir/created-users" ]]; then
    while read -r u; do userdel "$u" 2>/dev/null || true; done <"$dir/created-users"
  fi
  if [[ -f "$dir/created-groups" ]]; then
    while read -r g; do groupdel "$g" 2>/dev/null || true; done <"$dir/created-groups"
  fi
  rm -rf "$dir"
}

free_port() {
  local p
  for _ in $(seq 200); do
    p=$((20000 + RANDOM % 20000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then
      echo "$p"
      return 0
    fi
  done
  echo "samba-test-server: no free port found" >&2
  return 1
}

start() {
  [[ $(id -u) -eq 0 ]] || {
    echo "samba-test-server: needs root (it creates Unix users and starts smbd)" >&2
    exit 1
  }
  for c in smbd smbpasswd net rpcclient useradd groupadd; do
    command -v "$c" >/dev/null || {
      echo "samba-test-server: missing command '$c' (run scripts/setup.sh)" >&2
      exit 1
    }
  done
  rm -rf "$dir"
  mkdir -p "$dir"/{private,lock,state,cache,run,ncalrpc,share,log}
  chmod 0700 "$dir/private"
  : >"$dir/created-users"
  : >"$dir/created-groups"

  local g u
  for g in "${groups[@]}"; do
    if ! getent group "$g" >/dev/null; then
      groupadd "$g"
      echo "$g" >>"$dir/created-groups"
    fi
  done
  for u in "${users[@]}"; do
    if ! getent passwd "$u" >/dev/null; then
      useradd -M -s /usr/sbin/nologin "$u"
      echo "$u" >>"$dir/created-users"
    fi
  done
  usermod -a -G tvt_staff tvt_alice

  local port
  port=$(free_port)
  local conf="$dir/smb.conf"
  cat >"$conf" <<EOF
[global]
  netbios name = $name
  workgroup = TVWG
  server role = standalone server
  interfaces = 127.0.0.1/8
  bind interfaces only = yes
  smb ports = $port
  disable netbios = yes
  passdb backend = tdbsam:$dir/private/passdb.tdb
  private dir = $dir/private
  lock directory = $dir/lock
  state directory = $dir/state
  cache directory = $dir/cache
  pid directory = $dir/run
  ncalrpc dir = $dir/ncalrpc
  log file = $dir/log/%m.log
  log level = 1
  load printers = no
  printcap name = /dev/null
  disable spoolss = yes
  server min protocol = SMB2_02
  server signing = mandatory

[share]
  path = $dir/share
  read only = yes
EOF
  printf '%s\n%s\n' "$admin_password" "$admin_password" | smbpasswd -c "$conf" -s -a root >/dev/null 2>&1
  printf '%s\n%s\n' "$alice_password" "$alice_password" | smbpasswd -c "$conf" -s -a tvt_alice >/dev/null
  printf '%s\n%s\n' "$bob_password" "$bob_password" | smbpasswd -c "$conf" -s -a tvt_bob >/dev/null
  net -s "$conf" groupmap add unixgroup=tvt_staff ntgroup=Staff type=local >/dev/null
  # Samba lists a Builtin alias only when it is mapped as a local group.
  net -s "$conf" groupmap add sid=S-1-5-32-544 unixgroup=tvt_admins ntgroup=Administrators \
    type=local >/dev/null

  smbd -D -s "$conf"
  local auth="$dir/private/admin.auth"
  (umask 077 && printf 'username = root\npassword = %s\ndomain = %s\n' \
    "$admin_password" "$name" >"$auth")
  for _ in $(seq 100); do
    if rpcclient -s "$conf" -p "$port" -A "$auth" 127.0.0.1 -c lsaquery >/dev/null 2>&1; then
      cat >"$dir/server.env" <<EOF
PORT=$port
NAME=$name
CONF=$conf
ADMIN_AUTH=$auth
ADMIN=root
ADMIN_PASSWORD=$admin_password
ALICE=tvt_alice
ALICE_PASSWORD=$alice_password
BOB=tvt_bob
BOB_PASSWORD=$bob_password
EOF
      echo "samba-test-server: ready on 127.0.0.1:$port"
      return 0
    fi
    sleep 0.1
  done
  echo "samba-test-server: the server did not answer within 10 s; its log:" >&2
  tail -20 "$dir"/log/* >&2 || true
  stop
  exit 1
}

case "$cmd" in
  start) start ;;
  stop) stop ;;
  *)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
