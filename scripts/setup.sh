#!/usr/bin/env bash
# Installs what building, running and testing Tavrin needs on Debian 12: the
# packages listed in scripts/packages.txt. Installs only what is missing; runs
# as root (or through sudo).
#   scripts/setup.sh          install what is missing
#   scripts/setup.sh --list   print the package names, one a line, and stop
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

# Prints the package names of scripts/packages.txt, one a line.
setup_packages() {
  sed -e 's/#.*//' "$here/packages.txt" | tr -s ' \t' '\n\n' | sed '/^$/d'
}

if [[ "${1:-}" == "--list" ]]; then
  setup_packages
  exit 0
fi

mapfile -t packages < <(setup_packages)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  [[ $(id -u) -eq 0 ]] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
