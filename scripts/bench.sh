#!/usr/bin/env bash
# Builds the benchmarks and prints their figures: start-up to the first painted window
# (offscreen and under Xvfb), CPU time and peak memory of the real program while it polls the
# simulator (offscreen and under Xvfb), and a 99-record download over a pty at 9600 baud, by the
# window and by tesvaron-cli; rendering a 99-record inspection report;
# redrawing the trend over a 24-hour session; filing a reading and a block into the archive.
# Figures, not tests: run it on an otherwise idle machine.
# Usage: scripts/bench.sh [seconds of polling]      (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
dir=${BENCH_BUILD_DIR:-build-bench}

cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" --target bench_startup bench_polling bench_download bench_cli_read \
  bench_report bench_trend bench_archive tesvaron tesvaron-sim tesvaron-cli >/dev/null

if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  XDG_RUNTIME_DIR=$(mktemp -d)
  export XDG_RUNTIME_DIR
fi
xvfb() { xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb "$@"; }

echo "== $(git log -1 --format=%h 2>/dev/null || true) RelWithDebInfo build in $dir; $(nproc) cores; load $(cut -d' ' -f1-3 /proc/loadavg)"
QT_QPA_PLATFORM=offscreen "$dir/bench/bench_startup"
xvfb "$dir/bench/bench_startup"
QT_QPA_PLATFORM=offscreen "$dir/bench/bench_polling" "$seconds"
xvfb "$dir/bench/bench_polling" "$seconds"
QT_QPA_PLATFORM=offscreen "$dir/bench/bench_download"
"$dir/bench/bench_cli_read"
QT_QPA_PLATFORM=offscreen "$dir/bench/bench_report"
QT_QPA_PLATFORM=offscreen "$dir/bench/bench_trend"
(cd "$dir" && bench/bench_archive)
