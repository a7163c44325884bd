#!/usr/bin/env bash
# Builds the native tests with a sanitizer and runs them:
#   scripts/sanitize.sh address   every test under AddressSanitizer (leak
#                                 detection on) and UndefinedBehaviorSanitizer,
#                                 in build-asan/
#   scripts/sanitize.sh thread    the tests labelled `threads` (those that start
#                                 threads) under ThreadSanitizer, in build-tsan/
# Only the test programs are built. The first report stops a test and fails
# it. The ctest output is kept in <build dir>/sanitize-tests.log.
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:?usage: scripts/sanitize.sh address|thread}
case "$kind" in
  address) dir=${ASAN_BUILD_DIR:-build-asan}; select=(); target=tavrin_tests ;;
  thread) dir=${TSAN_BUILD_DIR:-build-tsan}; select=(-L threads); target=tavrin_threads_tests ;;
  *) echo "sanitize: unknown sanitizer '$kind' (address or thread)" >&2; exit 2 ;;
esac

# -O1: far quicker to build than -O2 and still fast enough under the sanitizers.
cmake -S . -B "$dir" -DTAVRIN_SANITIZE="$kind" -DTAVRIN_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" >/dev/null
mapfile -t tests < <(ctest --test-dir "$dir" -N "${select[@]}" |
  sed -nE 's/^ *Test +#[0-9]+: +([^ ]+).*/\1/p')
if ((${#tests[@]} == 0)); then
  echo "sanitize: no test selected in $dir" >&2
  exit 1
fi
echo "sanitize: building ${tests[*]} with -fsanitize=$kind"
cmake --build "$dir" -j"$(nproc)" --target "$target"

export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
# Only leaks inside Qt, fontconfig and the X libraries are suppressed.
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

log="$dir/sanitize-tests.log"
set +e
ctest --test-dir "$dir" "${select[@]}" --output-on-failure -j"$(nproc)" 2>&1 | tee "$log"
rc=${PIPESTATUS[0]}
set -e
exit "$rc"
