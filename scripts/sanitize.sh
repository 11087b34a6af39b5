#!/usr/bin/env bash
# Builds every test suite and the example under a sanitizer and runs them all with ctest:
#   bash scripts/sanitize.sh address   # AddressSanitizer with UBSan and LeakSanitizer, in build-asan
#   bash scripts/sanitize.sh thread    # ThreadSanitizer, in build-tsan
# Any finding stops the program that made it and fails its test: the runtimes' default options
# are built into the test programs (testing/sanitizers/RuntimeOptions.cpp); options set in
# ASAN_OPTIONS, UBSAN_OPTIONS or TSAN_OPTIONS come after them and win.
# QOR_BUILD_DIR names another build folder, QOR_JOBS the parallel jobs (default: all cores);
# extra arguments go to the configure step.
set -euo pipefail
kind="${1:-}"
case "$kind" in
  address) folder=build-asan ;;
  thread) folder=build-tsan ;;
  *) echo "usage: $0 address|thread [configure arguments]" >&2; exit 2 ;;
esac
shift
cd "$(dirname "$0")/.."
export QOR_BUILD_DIR="${QOR_BUILD_DIR:-$folder}"
exec bash scripts/test.sh -DQOR_SANITIZE="$kind" -DQOR_BUILD_BENCH=OFF "$@"
