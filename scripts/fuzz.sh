#!/usr/bin/env bash
# Builds the libFuzzer targets (clang 14, ASan + UBSan) and runs every one of
# them for a bounded time from the committed seed corpus; fails on any
# finding (crash, sanitizer report, leak, timeout, out-of-memory).
#
#   scripts/fuzz.sh                 # 60 s per target, 3 targets at once
#   FUZZ_SECONDS=300 FUZZ_PARALLEL=5 scripts/fuzz.sh parse_fuzz date_fuzz
#
# New inputs found while fuzzing go to a scratch corpus under the build
# directory, never into fuzz/corpus/; findings are written to
# $BUILD_DIR/fuzz-findings/ and their paths printed.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${FUZZ_BUILD_DIR:-$ROOT/build-fuzz}"
SECONDS_EACH="${FUZZ_SECONDS:-60}"
PARALLEL="${FUZZ_PARALLEL:-3}"
CXX_FUZZ="${FUZZ_CXX:-clang++-14}"
ALL_TARGETS=(parse_fuzz decoder_fuzz amount_fuzz date_fuzz statement_line_fuzz)
if [[ $# -gt 0 ]]; then TARGETS=("$@"); else TARGETS=("${ALL_TARGETS[@]}"); fi

if [[ ! -f "$BUILD_DIR/CMakeCache.txt" ]]; then
  CXX="$CXX_FUZZ" cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVARDEL_FUZZ=ON -DVARDEL_PYTHON=OFF -DVARDEL_TESTS=OFF \
    -DVARDEL_SANITIZE=address,undefined >/dev/null
fi
cmake --build "$BUILD_DIR" -j4 --target "${TARGETS[@]}"

FINDINGS="$BUILD_DIR/fuzz-findings"
WORK="$BUILD_DIR/fuzz-work"
LOGS="$BUILD_DIR/fuzz-logs"
rm -rf "$FINDINGS" "$LOGS"
mkdir -p "$FINDINGS" "$WORK" "$LOGS"

export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1:allocator_may_return_null=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

run_one() {
  local target="$1"
  local seeds="$ROOT/fuzz/corpus/$target"
  local scratch="$WORK/$target"
  local dict=()
  mkdir -p "$scratch"
  if [[ "$target" == parse_fuzz ]]; then dict=(-dict="$ROOT/fuzz/mt940.dict"); fi
  # The scratch corpus comes first so that new inputs are written there.
  "$BUILD_DIR/fuzz/$target" "${dict[@]}" \
    -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
    -print_final_stats=1 -artifact_prefix="$FINDINGS/$target-" \
    "$scratch" "$seeds" >"$LOGS/$target.log" 2>&1
}

status=0
pids=()
names=()
for target in "${TARGETS[@]}"; do
  while [[ $(jobs -rp | wc -l) -ge $PARALLEL ]]; do sleep 1; done
  echo "fuzzing $target for ${SECONDS_EACH}s"
  run_one "$target" &
  pids+=($!)
  names+=("$target")
done
for i in "${!pids[@]}"; do
  if wait "${pids[$i]}"; then
    execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$LOGS/${names[$i]}.log" | grep -o '[0-9]*$' || true)
    echo "ok   ${names[$i]} (${execs:-?} runs)"
  else
    echo "FAIL ${names[$i]}: see $LOGS/${names[$i]}.log"
    grep -E 'ERROR|invariant failed|runtime error|Test unit written' "$LOGS/${names[$i]}.log" | head -5 || true
    status=1
  fi
done
if compgen -G "$FINDINGS/*" >/dev/null; then
  echo "findings:"
  ls -1 "$FINDINGS"
  status=1
fi
exit $status
