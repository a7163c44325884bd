#!/usr/bin/env bash
# Formats every C++ source file in place with clang-format and .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/format-files.sh
format_files | xargs -r -d '\n' clang-format -i
