#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test:
#   - the dependency check (every command used comes from setup's packages;
#     stops everything at once when it fails), the format check and the
#     layer check (no include runs up the layers),
#   - the native tests (build/),
#   - the native tests again under AddressSanitizer and UndefinedBehavior-
#     Sanitizer (build-asan/), and those labelled `threads` under
#     ThreadSanitizer (build-tsan/),
#   - the Windows check (the core, and with a Qt for mingw-w64 the window and
#     its installer, cross-built with mingw-w64 and their tests run
#     under Wine, build-win/),
#   - a short run of the SID parser's fuzz target (build-fuzz/).
# Every stage runs even when an earlier one failed. The last line is
#   tests: N passed, M failed, K skipped
# counting each test program of the native, sanitizer and Wine runs, the fuzz
# run and the two checks; a stage that could not run its tests (a build that
# failed, a missing Wine prefix) counts as one failure. A test CTest reports
# as skipped, and a part a stage leaves out (a line "SKIPPED: why" in its
# log, as the Windows check writes without a Qt for mingw-w64), counts as
# skipped, never as passed. Exits non-zero when anything failed.
set -uo pipefail
cd "$(dirname "$0")/.."
start=$(date +%s)
passed=0
failed=0
skipped=0

summary() {
  echo "== done in $(($(date +%s) - start)) s"
  echo "tests: $passed passed, $failed failed, $skipped skipped"
}

# check NAME COMMAND...: one pass or one failure.
check() {
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    echo "test: $name failed" >&2
    failed=$((failed + 1))
  fi
}

# ctest_stage NAME LOG COMMAND...: runs COMMAND, which writes ctest's output
# to LOG, and adds up ctest's own count of passed and failed tests. Without
# that count (the build or the set-up failed) the stage is one failure.
ctest_stage() {
  local name=$1 log=$2 t0 rc total bad skips parts
  shift 2
  t0=$(date +%s)
  rm -f "$log"
  "$@"
  rc=$?
  read -r bad total < <(sed -nE 's/.*tests passed, ([0-9]+) tests? failed out of ([0-9]+).*/\1 \2/p' \
    "$log" 2>/dev/null | tail -n1) || true
  # CTest counts a skipped test among the passed ones.
  skips=$(grep -cE '^ *[0-9]+ - .*\(Skipped\)$' "$log" 2>/dev/null) || skips=0
  parts=$(grep -c '^SKIPPED: ' "$log" 2>/dev/null) || parts=0
  skipped=$((skipped + skips + parts))
  if [[ -n "${total:-}" ]]; then
    passed=$((passed + total - bad - skips))
    failed=$((failed + bad))
    if [[ $rc -ne 0 && $bad -eq 0 ]]; then
      failed=$((failed + 1))  # every test passed, yet the stage failed
    fi
  else
    failed=$((failed + 1))
  fi
  echo "== $name: ${total:-no} tests, exit $rc, $(($(date +%s) - t0)) s"
}

echo "== setup"
if ! bash scripts/setup.sh; then
  echo "test: installing the packages failed" >&2
  failed=$((failed + 1))
  summary
  exit 1
fi

echo "== dependency check"
if ! bash scripts/check-deps.sh; then
  failed=$((failed + 1))
  summary
  exit 1
fi
passed=$((passed + 1))

echo "== format check"
check "format check" bash scripts/check-format.sh

echo "== layer check"
check "layer check" bash scripts/check-layers.sh

native() {
  bash scripts/build.sh &&
    ctest --test-dir build --output-on-failure -j"$(nproc)" 2>&1 | tee build/native-tests.log
}
echo "== native tests"
ctest_stage "native tests" build/native-tests.log native

echo "== AddressSanitizer and UndefinedBehaviorSanitizer"
ctest_stage "ASan/UBSan tests" build-asan/sanitize-tests.log bash scripts/sanitize.sh address

echo "== ThreadSanitizer (tests labelled threads)"
ctest_stage "TSan tests" build-tsan/sanitize-tests.log bash scripts/sanitize.sh thread

echo "== Windows check"
ctest_stage "Windows check" build-win/wine-tests.log bash scripts/windows-check.sh

echo "== SID parser fuzz (short run)"
check "SID parser fuzz" bash scripts/fuzz-sid-parser.sh 5

summary
[[ $failed -eq 0 ]]
