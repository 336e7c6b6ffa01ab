#!/usr/bin/env bash
# Builds the reply fuzzer with clang (libFuzzer, AddressSanitizer, UBSan) into build-fuzz and runs
# it over the checked-in seed corpus. New inputs it finds go to build-fuzz/fuzz-corpus, crashes
# to build-fuzz/fuzz-artifacts; replay one with build-fuzz/tests/fuzz/fuzz_reply <file>.
# Usage: scripts/fuzz.sh [runs] [more libFuzzer options...]      runs: default 200000 (about 25 min)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-200000}
shift || true
dir=build-fuzz

CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTESVARON_FUZZ=ON >/dev/null
cmake --build "$dir" --target fuzz_reply

mkdir -p "$dir/fuzz-corpus" "$dir/fuzz-artifacts"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:allocator_may_return_null=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
exec "$dir/tests/fuzz/fuzz_reply" -runs="$runs" -print_final_stats=1 \
  -artifact_prefix="$dir/fuzz-artifacts/" "$@" "$dir/fuzz-corpus" tests/fuzz/corpus
