#!/usr/bin/env bash
# Installs what is missing, builds the program and its tests, and runs the tests.
# Usage: scripts/test.sh            normal build in build/
#        scripts/test.sh --sanitize AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

if [ "${1:-}" = "--sanitize" ]; then
  dir=build-asan
  bash scripts/build.sh "$dir" -DTESVARON_SANITIZE=ON
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
  export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
else
  dir=build
  bash scripts/build.sh "$dir"
fi
ctest --test-dir "$dir" --output-on-failure -j2
