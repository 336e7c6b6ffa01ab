#!/usr/bin/env bash
# Builds a reply fuzzer with clang (libFuzzer, AddressSanitizer, UBSan) into build-fuzz and runs
# it. New inputs it finds go to build-fuzz/fuzz-corpus[-core], crashes to
# build-fuzz/fuzz-artifacts; replay one with build-fuzz/tests/fuzz/<target> <file>.
# Usage: scripts/fuzz.sh [core|window] [runs] [more libFuzzer options...]
#   core    frame location and the reply decision alone (default; 2000000 runs, a few minutes)
#   window  a whole window per input, over the checked-in corpus (default 200000 runs, ~25 min)
set -euo pipefail
cd "$(dirname "$0")/.."
kind=core
case "${1:-}" in core | window) kind=$1; shift ;; esac
if [ "$kind" = core ]; then
  target=fuzz_reply_core; runs=${1:-2000000}; corpora=("build-fuzz/fuzz-corpus-core")
else
  target=fuzz_reply; runs=${1:-200000}; corpora=("build-fuzz/fuzz-corpus" tests/fuzz/corpus)
fi
shift || true
dir=build-fuzz

CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTESVARON_FUZZ=ON >/dev/null
cmake --build "$dir" --target "$target"

mkdir -p "${corpora[0]}" "$dir/fuzz-artifacts"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:allocator_may_return_null=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
exec "$dir/tests/fuzz/$target" -runs="$runs" -print_final_stats=1 \
  -artifact_prefix="$dir/fuzz-artifacts/" "$@" "${corpora[@]}"
