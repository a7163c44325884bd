#!/usr/bin/env bash
# Private Samba servers on loopback for the real-network tests.
#
#   samba-test-server.sh start DIR [COUNT]  configure and start COUNT servers
#                                           (1 when not given); DIR/server.env
#                                           then holds the first one's PORT,
#                                           NAME and CONF, every server's
#                                           PORTS, NAMES and CONFS, and the users
#   samba-test-server.sh stop DIR           stop every Samba process by its
#                                           PID, remove this run's Unix users
#                                           and groups and DIR
#
# Everything a server writes lives under DIR; each listens on 127.0.0.1 only,
# on a free port of its own, with a password database of its own (so that
# state leaking from one computer to another shows). The test users are Unix
# accounts (Samba needs them), made with names of this run's own and removed
# by this run's stop only, so that runs side by side do not disturb each
# other:
#   root        in each server's own password database: may change rights
#   ALICE       the account whose rights the tests read and change
#   BOB         a plain user, who may not change rights
# A Unix group of the run is mapped to a local group "Staff", another to the
# Builtin alias Administrators. Needs root (useradd, smbd).
# SAMBA_TEST_NAME gives the servers another NetBIOS name (TAVRINTEST when not
# set; the second and later servers get 2, 3, ... after it).
set -euo pipefail

cmd=${1:-}
dir=${2:-}
count=${3:-1}
[[ -n "$cmd" && -n "$dir" && "$count" =~ ^[1-9][0-9]?$ ]] || {
  echo "usage: $0 start DIR [COUNT] | stop DIR" >&2
  exit 2
}

dir=$(realpath -m "$dir")  # smbd runs from /
name=${SAMBA_TEST_NAME:-TAVRINTEST}
# Test passwords: these exist only in the private databases under DIR.
admin_password='Tavrin-Root-1'
alice_password='Tavrin-Alice-1'
bob_password='Tavrin-Bob-1'

stop() {
  local pids=() pid_file pid
  for pid_file in "$dir"/s*/run/smbd.pid "$dir"/s*/run/samba-dcerpcd.pid; do
    [[ -f "$pid_file" ]] || continue
    pid=$(<"$pid_file")
    [[ "$pid" =~ ^[0-9]+$ ]] || continue
    pids+=("$pid")
    # Each leads a process group of its own with its workers in it.
    kill -TERM -- "-$pid" 2>/dev/null || kill -TERM "$pid" 2>/dev/null || true
  done
  # All of them together, for 5 s at most; then they are killed.
  for _ in $(seq 50); do
    local alive=0
    for pid in "${pids[@]}"; do kill -0 -- "-$pid" 2>/dev/null && alive=1; done
    ((alive)) || break
    sleep 0.1
  done
  for pid in "${pids[@]}"; do kill -KILL -- "-$pid" 2>/dev/null || true; done
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
    p=$((20000 + RANDOM % 30000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then
      echo "$p"
      return 0
    fi
  done
  echo "samba-test-server: no free port found" >&2
  return 1
}

# configure N PORT: server N's directories and configuration file.
configure() {
  local n=$1 port=$2 d="$dir/s$1" server=$name
  ((n > 1)) && server="$name$n"
  rm -rf "$d"
  mkdir -p "$d"/{private,lock,state,cache,run,ncalrpc,share,log}
  chmod 0700 "$d/private"
  cat >"$d/smb.conf" <<EOF
[global]
  netbios name = $server
  workgroup = TVWG
  server role = standalone server
  interfaces = 127.0.0.1/8
  bind interfaces only = yes
  smb ports = $port
  disable netbios = yes
  passdb backend = tdbsam:$d/private/passdb.tdb
  private dir = $d/private
  lock directory = $d/lock
  state directory = $d/state
  cache directory = $d/cache
  pid directory = $d/run
  ncalrpc dir = $d/ncalrpc
  log file = $d/log/%m.log
  log level = 1
  load printers = no
  printcap name = /dev/null
  disable spoolss = yes
  server min protocol = SMB2_02
  server signing = mandatory

[share]
  path = $d/share
  read only = yes
EOF
  local conf="$d/smb.conf"
  printf '%s\n%s\n' "$admin_password" "$admin_password" | smbpasswd -c "$conf" -s -a root >/dev/null 2>&1
  printf '%s\n%s\n' "$alice_password" "$alice_password" | smbpasswd -c "$conf" -s -a "$alice" >/dev/null
  printf '%s\n%s\n' "$bob_password" "$bob_password" | smbpasswd -c "$conf" -s -a "$bob" >/dev/null
  net -s "$conf" groupmap add unixgroup="$staff" ntgroup=Staff type=local >/dev/null
  # Samba lists a Builtin alias only when it is mapped as a local group.
  net -s "$conf" groupmap add sid=S-1-5-32-544 unixgroup="$admins" ntgroup=Administrators \
    type=local >/dev/null
  (umask 077 && printf 'username = root\npassword = %s\ndomain = %s\n' \
    "$admin_password" "$server" >"$d/private/admin.auth")
  echo "$server" >"$d/name"
  echo "$port" >"$d/port"
}

# answers N: whether server N answers an LSA call.
answers() {
  local d="$dir/s$1"
  timeout 10 rpcclient -s "$d/smb.conf" -p "$(<"$d/port")" -A "$d/private/admin.auth" 127.0.0.1 \
    -c lsaquery >/dev/null 2>&1
}

start() {
  [[ $(id -u) -eq 0 ]] || {
    echo "samba-test-server: needs root (it creates Unix users and starts smbd)" >&2
    exit 1
  }
  for c in smbd smbpasswd net rpcclient useradd groupadd timeout; do
    command -v "$c" >/dev/null || {
      echo "samba-test-server: missing command '$c' (run scripts/setup.sh)" >&2
      exit 1
    }
  done
  rm -rf "$dir"
  mkdir -p "$dir"
  : >"$dir/created-users"
  : >"$dir/created-groups"

  # Names of this run's own: "tv" and six hex digits, then a letter.
  local id="" tries
  for tries in $(seq 20); do
    id=$(od -An -N3 -tx1 /dev/urandom | tr -d ' \n')
    getent passwd "tv${id}a" "tv${id}b" >/dev/null || getent group "tv${id}s" "tv${id}g" >/dev/null ||
      break
    id=""
  done
  [[ -n "$id" ]] || {
    echo "samba-test-server: no free user names" >&2
    exit 1
  }
  alice="tv${id}a" bob="tv${id}b" staff="tv${id}s" admins="tv${id}g"
  local g u
  for g in "$staff" "$admins"; do
    groupadd "$g"
    echo "$g" >>"$dir/created-groups"
  done
  for u in "$alice" "$bob"; do
    useradd -M -s /usr/sbin/nologin "$u"
    echo "$u" >>"$dir/created-users"
  done
  usermod -a -G "$staff" "$alice"

  local n
  # Side by side: each runs Samba's tools several times. One that fails is
  # made again below, as a server that does not answer is.
  for n in $(seq "$count"); do configure "$n" "$(free_port)" & done
  wait
  # All started at once; one whose port was taken meanwhile gets another.
  local ready=() attempt
  for attempt in 1 2 3; do
    for n in $(seq "$count"); do
      [[ -n "${ready[$n]:-}" ]] && continue
      ((attempt > 1)) && configure "$n" "$(free_port)"
      smbd -D -s "$dir/s$n/smb.conf" || true
    done
    # Asked once their port is open, all at once: rpcclient is the slow part.
    for _ in $(seq 100); do
      local waiting=0
      for n in $(seq "$count"); do
        [[ -n "${ready[$n]:-}" ]] && continue
        waiting=1
        (exec 3<>"/dev/tcp/127.0.0.1/$(<"$dir/s$n/port")") 2>/dev/null || continue
        (answers "$n" && : >"$dir/s$n/ready") &
      done
      ((waiting)) || break
      wait
      for n in $(seq "$count"); do [[ -f "$dir/s$n/ready" ]] && ready[n]=1; done
      ((${#ready[@]} == count)) && break
      sleep 0.1
    done
    ((${#ready[@]} == count)) && break
    # A server that did not come up is stopped before it is tried again.
    for n in $(seq "$count"); do
      [[ -n "${ready[$n]:-}" || ! -f "$dir/s$n/run/smbd.pid" ]] && continue
      kill -KILL -- "-$(<"$dir/s$n/run/smbd.pid")" 2>/dev/null || true
    done
  done
  if ((${#ready[@]} != count)); then
    echo "samba-test-server: not every server answered; their logs:" >&2
    tail -n 20 "$dir"/s*/log/* >&2 || true
    stop
    exit 1
  fi
  local ports=() names=() confs=()
  for n in $(seq "$count"); do
    ports+=("$(<"$dir/s$n/port")")
    names+=("$(<"$dir/s$n/name")")
    confs+=("$dir/s$n/smb.conf")
  done
  cat >"$dir/server.env" <<EOF
PORT=${ports[0]}
NAME=${names[0]}
CONF=${confs[0]}
ADMIN_AUTH=$dir/s1/private/admin.auth
PORTS="${ports[*]}"
NAMES="${names[*]}"
CONFS="${confs[*]}"
ADMIN=root
ADMIN_PASSWORD=$admin_password
ALICE=$alice
ALICE_PASSWORD=$alice_password
BOB=$bob
BOB_PASSWORD=$bob_password
EOF
  echo "samba-test-server: ready on 127.0.0.1:${ports[*]}"
}

case "$cmd" in
  start) start ;;
  stop) stop ;;
  *)
    echo "usage: $0 start DIR [COUNT] | stop DIR" >&2
    exit 2
    ;;
esac
