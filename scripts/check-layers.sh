#!/usr/bin/env bash
# Checks that no source includes a header of a layer above its own, and that
# the core below the window includes no Qt. The layers, lowest first:
#   0 platform/          the Windows functions by their Windows names
#   1 base/              the component base, system services, network binding
#   2 sid/               security identifiers
#   3 rights/ computers/ pickers/ (the lists)   the core components
#   4 passes/            the engine: row work, passes, exports, start-up
#   5 cli/               tavrin-cli
#   6 app/ pickers/controls/   the window and its controls (Qt)
# A file may include headers of its own layer and of the layers below. Within
# the platform, the real network (platform/rpc/) and the simulated one
# (platform/sim/) share only what platform/ itself holds, and nothing outside
# platform/sim/ includes the simulation's inner workings (SimModel.h).
# Names each offending include and fails when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

layer_of() {
  case "$1" in
    platform/*) echo 0 ;;
    base/*) echo 1 ;;
    sid/*) echo 2 ;;
    pickers/controls/*) echo 6 ;;
    rights/* | computers/* | pickers/*) echo 3 ;;
    passes/*) echo 4 ;;
    cli/*) echo 5 ;;
    app/*) echo 6 ;;
    *) echo "" ;;
  esac
}

bad=0
while IFS= read -r file; do
  own=$(layer_of "$file")
  while IFS= read -r line; do
    number=${line%%:*}
    text=${line#*:}
    if [[ "$text" =~ \#include\ \"([^\"]+)\" ]]; then
      target=${BASH_REMATCH[1]}
      if { [[ "$file" == platform/rpc/* && "$target" == platform/sim/* ]] ||
        [[ "$file" != platform/sim/* && "$target" == platform/sim/SimModel.h ]]; }; then
        echo "check-layers: $file:$number includes $target, which belongs to the simulation" >&2
        bad=1
      fi
      theirs=$(layer_of "$target")
      [[ -z "$theirs" ]] && continue
      if ((theirs > own)); then
        echo "check-layers: $file:$number includes $target, a layer above its own" >&2
        bad=1
      fi
    elif [[ "$text" =~ \#include\ \<Q ]] && ((own < 6)); then
      echo "check-layers: $file:$number includes Qt below the window" >&2
      bad=1
    fi
  done < <(grep -n '^[[:space:]]*#[[:space:]]*include' "$file" || true)
done < <(find platform base sid rights computers pickers passes cli app -type f \
  \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) | sort)

if ((bad)); then
  echo "check-layers: includes that run up the layers (see the list above)" >&2
  exit 1
fi
echo "check-layers: every include stays within its layer or below"
