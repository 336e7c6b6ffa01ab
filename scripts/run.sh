#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program. Unless a USB serial adapter is
# attached (or TESVARON_NO_SIM=1), the simulated instrument is started on COM3 first and
# stopped when the program ends.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build

sim_pid=""
cleanup() { [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null; true; }
trap cleanup EXIT INT TERM

if [ "${TESVARON_NO_SIM:-0}" != 1 ] && ! compgen -G "/dev/ttyUSB*" >/dev/null && ! compgen -G "/dev/ttyACM*" >/dev/null; then
  build/sim/tesvaron-sim --com "${TESVARON_SIM_COM:-3}" &
  sim_pid=$!
  sleep 0.5
fi
build/app/tesvaron "$@"
