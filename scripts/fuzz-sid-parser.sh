#!/usr/bin/env bash
# Fuzzes the SID center's text parser with libFuzzer under AddressSanitizer
# and UndefinedBehaviorSanitizer, on the simulated platform.
#
#   scripts/fuzz-sid-parser.sh [seconds]     (default 60)
#
# Builds the target in build-fuzz/ (not part of the default build), runs it
# for the given time over a corpus kept in build-fuzz/corpus, prints the
# number of inputs tried, and exits non-zero on a finding (the input is kept
# as build-fuzz/crash-*).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
out=${FUZZ_BUILD_DIR:-build-fuzz}
cxx=${FUZZ_CXX:-clang++}
mkdir -p "$out/corpus"

sources=(tests/fuzz/SidParserFuzz.cpp sid/*.cpp
         base/Velmar_CenterUtils.cpp base/Velmar_Component.cpp base/Velmar_WinVer.cpp
         platform/NetworkArgs.cpp platform/RealLogin.cpp platform/Records.cpp
         platform/WideText.cpp platform/sim/*.cpp)
# Rebuilt only when a source or header is newer than the target.
target="$out/sid-parser-fuzz"
if [[ ! -x "$target" || -n "$(find sid base platform tests/fuzz -newer "$target" -type f | head -n 1)" ]]; then
  echo "fuzz-sid-parser: building $target"
  "$cxx" -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I. "${sources[@]}" -pthread -o "$target"
fi

# A few seeds: accepted shapes and each way of being refused.
i=0
for seed in "S-1-5-32-544" "s - 1 - 5 - 18" "S-1-5-21-1000-2000-3000-500" "S-1-5-" "S-01-5-007" \
            "S-1-5-21-4294967295" "S-1-256-1" "S-2-5" "S-1-0x5-32" "S-1-5--32" \
            "S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16"; do
  printf '%s' "$seed" >"$out/corpus/seed-$i"
  i=$((i + 1))
done

log="$out/fuzz.log"
set +e
ASAN_OPTIONS=detect_leaks=1 "$target" -max_total_time="$seconds" -print_final_stats=1 \
  -dict=tests/fuzz/sid.dict -artifact_prefix="$out/" "$out/corpus" >"$log" 2>&1
rc=$?
set -e
tail -n 25 "$log"
inputs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' || true)
echo "fuzz-sid-parser: ${inputs:-unknown} inputs tried in ${seconds} s (exit $rc)"
if [[ $rc -ne 0 ]]; then
  echo "fuzz-sid-parser: finding, see $log and $out/crash-*" >&2
  exit "$rc"
fi
