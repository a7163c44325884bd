#!/usr/bin/env bash
# Checks that every C++ source file is formatted as .clang-format says, and
# names each file that is not. scripts/format.sh applies the format.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/format-files.sh

mapfile -t files < <(format_files)
set +e
out=$(clang-format --dry-run --Werror "${files[@]}" 2>&1)
rc=$?
set -e
if [[ $rc -ne 0 ]]; then
  # clang-format reports "FILE:LINE:COL: error: code should be clang-formatted"
  # for each place, followed by the line.
  bad=$(sed -nE 's/^(.+):[0-9]+:[0-9]+: error: code should be clang-formatted.*/\1/p' <<<"$out" | sort -u)
  if [[ -z "$bad" ]]; then
    head -n 20 <<<"$out" >&2
    echo "check-format: clang-format failed (exit $rc)" >&2
  else
    echo "check-format: not formatted (run bash scripts/format.sh):" >&2
    sed 's/^/  /' <<<"$bad" >&2
  fi
  exit 1
fi
echo "check-format: ${#files[@]} files formatted"
