#!/usr/bin/env bash
# tavrin-cli on the real network: report, dry run and apply against the test
# run's Samba server, each checked with Samba's own rpcclient.
set -euo pipefail
cli=$1
. "$TAVRIN_TEST_SAMBA/server.env"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
samba() { timeout 30 rpcclient -s "$CONF" -p "$PORT" -A "$ADMIN_AUTH" 127.0.0.1 -c "$1" 2>/dev/null; }
rights() { samba "lsaenumacctrights $sid" | sed -n 's/^\t//p' | sort | tr '\n' ' '; }
# The password goes through a pipe, never on a command line.
run() {
  local password=$1
  shift
  printf '%s\n' "$password" | timeout 60 "$cli" "$@" --network real --server "127.0.0.1:$PORT" \
    --user "$NAME\\$ADMIN" --password-fd 0
}

sid=$(samba "lookupnames $BOB" | awk '{print $2}')
[[ "$sid" == S-1-5-21-* ]] || fail "no SID for $BOB"
for r in $(rights); do samba "lsaremoveacctrights $sid $r" >/dev/null; done
samba "lsaaddacctrights $sid SeBackupPrivilege SeAddUsersPrivilege" >/dev/null

# report: BK held (column 17 after the name), the closed port unreadable
out=$(run "$ADMIN_PASSWORD" report --account "$BOB" --computers ".,127.0.0.1:1" --format csv) &&
  fail "report with an unreadable computer exited 0"
row=$(grep "^$NAME," <<<"$out") || fail "no row for $NAME: $out"
[[ $(cut -d, -f17 <<<"$row") == Y && $(cut -d, -f19 <<<"$row") == N ]] ||
  fail "report row: $row"
grep -q '^127.0.0.1:1,E,.*network path was not found' <<<"$out" || fail "closed port: $out"

# apply --dry-run writes nothing; apply writes exactly the difference
out=$(run "$ADMIN_PASSWORD" apply --account "$BOB" --computers . --grant SeShutdownPrivilege \
  --revoke SeBackupPrivilege --dry-run) || fail "dry run: $out"
[[ "$(rights)" == "SeAddUsersPrivilege SeBackupPrivilege " ]] || fail "dry run wrote: $(rights)"
run "$ADMIN_PASSWORD" apply --account "$BOB" --computers . --grant SeShutdownPrivilege \
  --revoke SeBackupPrivilege >/dev/null || fail "apply failed"
[[ "$(rights)" == "SeAddUsersPrivilege SeShutdownPrivilege " ]] || fail "apply wrote: $(rights)"

# a wrong password is named as such, and nothing is written
if out=$(run wrong apply --account "$BOB" --computers . --grant SeDebugPrivilege 2>&1); then
  fail "apply with a wrong password exited 0"
fi
grep -q "on this computer: Logon failure" <<<"$out" || fail "wrong password: $out"
[[ "$(rights)" == "SeAddUsersPrivilege SeShutdownPrivilege " ]] || fail "wrote: $(rights)"
# An account given as a SID needs no look-up, so a refused logon or a server
# that does not answer shows first on '.': its line stays, with the reason.
for server in "127.0.0.1:$PORT" 127.0.0.1:1; do
  for command in "report" "apply --grant SeBackupPrivilege"; do
    # shellcheck disable=SC2086
    out=$(printf 'wrong\n' | timeout 60 "$cli" $command --account S-1-5-32-544 --computers . \
      --network real --server "$server" --user "$NAME\\$ADMIN" --password-fd 0 2>&1) &&
      fail "$command on $server exited 0: $out"
    grep -Eq '^\.(: not read:| +error:) (Logon failure|The network path was not found)' <<<"$out" ||
      fail "$command on $server: no line for '.': $out"
  done
done
echo "cli on the real network: ok"
