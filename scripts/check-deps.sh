#!/usr/bin/env bash
# Checks that every external command the scripts and the build call comes
# from a package that scripts/setup.sh installs, so that a fresh Debian 12
# machine gets it too (a command that is here only because the machine image
# happened to have it is a fault).
#
# For each command: find it (command -v), follow symlinks and Debian
# alternatives to the real file (readlink -f), ask dpkg which package owns
# that file, and accept the package when it is on setup's list or is pulled
# in by one of them through Depends/Pre-Depends (setup installs without
# recommended packages, so Recommends do not count).
#
#   scripts/check-deps.sh        exit 0 when every command is provided
set -euo pipefail
cd "$(dirname "$0")/.."

# Every command the scripts, the CMake files and the tests call. Add new ones
# here. Tools of Debian's essential set (bash, coreutils, sed, grep, find,
# dpkg, apt) are on every machine and are not listed.
commands=(
  cmake ctest make c++ g++ pkg-config     # native build (c++ is CMake's default compiler)
  clang clang++                            # fuzz target
  clang-format                             # format check
  x86_64-w64-mingw32-gcc-posix             # Windows check (cmake/mingw-w64-x86_64.cmake)
  x86_64-w64-mingw32-g++-posix
  x86_64-w64-mingw32-windres
  wine wineboot wineserver                 # Windows check: running the tests
  xvfb-run import                          # run.sh, screenshots
  cpack dpkg-shlibdeps                     # the Debian package and its dependencies
  readelf lintian man                      # its check
  makensis                                 # the Windows installer
  smbd smbpasswd net rpcclient             # the Samba server of the real-network tests
  useradd usermod userdel groupadd groupdel  # its test users
)

mapfile -t listed < <(bash scripts/setup.sh --list)

# Every installed package with what it depends on: "name<TAB>provides<TAB>deps".
installed=$(dpkg-query -W -f='${db:Status-Abbrev}\t${Package}\t${Provides}\t${Pre-Depends}, ${Depends}\n' |
  awk -F'\t' '$1 ~ /^ii/ { print $2 "\t" $3 "\t" $4 }')

# The packages setup's list brings in, each with the listed package it comes
# through ("name<TAB>listed"): the listed ones and, recursively, what
# they depend on. Of alternatives ("a | b") the first is taken, as apt does on
# a fresh machine; a virtual name is resolved to the installed package that
# provides it.
closure=$(printf '%s\n' "${listed[@]}" | awk -F'\t' '
  FNR == NR { seed[$0] = 1; next }
  {
    pkg = $1; real[pkg] = 1; deps[pkg] = $3
    n = split($2, prov, ",")
    for (i = 1; i <= n; i++) {
      p = prov[i]; sub(/^ +/, "", p); sub(/[ (].*/, "", p)
      if (p != "" && !(p in provider)) provider[p] = pkg
    }
  }
  END {
    for (p in seed) { queue[++tail] = p; seen[p] = 1; root[p] = p }
    for (head = 1; head <= tail; head++) {
      p = queue[head]
      if (!(p in real)) continue
      print p "\t" root[p]
      n = split(deps[p], groups, ",")
      for (i = 1; i <= n; i++) {
        d = groups[i]; sub(/\|.*/, "", d); gsub(/^ +| +$/, "", d)
        sub(/[ (].*/, "", d); sub(/:.*/, "", d)
        if (d == "") continue
        if (!(d in real) && (d in provider)) d = provider[d]
        if (!(d in seen)) { seen[d] = 1; root[d] = root[p]; queue[++tail] = d }
      }
    }
  }' - <(printf '%s\n' "$installed"))

in_list() {
  local p
  for p in "${listed[@]}"; do [[ "$p" == "$1" ]] && return 0; done
  return 1
}

failed=0
for cmd in "${commands[@]}"; do
  path=$(command -v "$cmd" || true)
  if [[ -z "$path" ]]; then
    echo "check-deps: command '$cmd' not found: add the package providing it to scripts/setup.sh" >&2
    failed=1
    continue
  fi
  file=$(readlink -f "$path")
  owner=$(dpkg -S "$file" 2>/dev/null | head -n1 | cut -d: -f1 || true)
  if [[ -z "$owner" ]]; then
    echo "check-deps: command '$cmd' ($file) belongs to no Debian package: setup.sh cannot install it" >&2
    failed=1
  elif in_list "$owner"; then
    echo "check-deps: $cmd: $owner"
  elif via=$(awk -F'\t' -v p="$owner" '$1 == p { print $2; found = 1; exit } END { exit !found }' \
      <<<"$closure"); then
    echo "check-deps: $cmd: $owner (through $via)"
  else
    echo "check-deps: command '$cmd' ($file) comes from package '$owner', which scripts/setup.sh does not install: add it to scripts/setup.sh" >&2
    failed=1
  fi
done

if ((failed)); then
  echo "check-deps: FAILED" >&2
  exit 1
fi
echo "check-deps: all ${#commands[@]} commands come from setup's packages"
