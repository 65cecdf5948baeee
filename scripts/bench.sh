#!/usr/bin/env bash
# Builds the module in release mode and runs the benchmark on a generated
# MT940 file of 120,000 transactions (kept in $BENCH_WORK_DIR between runs).
#
#   scripts/bench.sh                       # build-bench/, 120k transactions
#   scripts/bench.sh -n 500000 --strict    # options go to bench/run_bench.py
#
# PYTHON (or BENCH_PYTHON) selects the interpreter, default Debian's
# /usr/bin/python3; each one has its own build folder (scripts/build_dir.sh).
#
# Also runs the C++ micro benchmark when Google Benchmark is installed and
# BENCH_CORE=1 is set.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$ROOT/scripts/build_dir.sh"
PYTHON="${BENCH_PYTHON:-${PYTHON:-/usr/bin/python3}}"
BUILD_DIR="${BENCH_BUILD_DIR:-$(build_dir "$ROOT/build-bench" "$PYTHON")}"
WORK_DIR="${BENCH_WORK_DIR:-$BUILD_DIR/bench-work}"

cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DVARDEL_PYTHON=ON \
  -DVARDEL_TESTS=OFF -DVARDEL_BENCH=ON -DPython_EXECUTABLE="$PYTHON" >/dev/null
cmake --build "$BUILD_DIR" -j4

mkdir -p "$WORK_DIR"
"$PYTHON" "$ROOT/bench/run_bench.py" --build-dir "$BUILD_DIR" --work-dir "$WORK_DIR" "$@"

if [[ "${BENCH_CORE:-0}" == 1 && -x "$BUILD_DIR/bench/core_bench" ]]; then
  "$BUILD_DIR/bench/core_bench" --benchmark_min_time=0.5
fi
