#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the native tests,
# the Windows check (the core's tests cross-built with mingw-w64 and run under
# Wine) and a short run of the SID parser's fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$(date +%s)
bash scripts/setup.sh
bash scripts/build.sh
echo "== native tests"
ctest --test-dir build --output-on-failure -j"$(nproc)"
echo "== Windows check"
bash scripts/windows-check.sh
if [[ -x scripts/fuzz-sid-parser.sh || -f scripts/fuzz-sid-parser.sh ]]; then
  echo "== SID parser fuzz (short run)"
  bash scripts/fuzz-sid-parser.sh 5
fi
echo "== all tests passed in $(( $(date +%s) - start )) s"
