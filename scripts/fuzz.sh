#!/usr/bin/env bash
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET] [BUILD_DIR]
# Builds the libFuzzer targets of fuzz/ with clang (ASan and UBSan on) in BUILD_DIR (default
# build-fuzz, relative to the repository root) and runs each for SECONDS_PER_TARGET seconds
# (default 60). Each target starts from a copy of its committed seeds in
# BUILD_DIR/fuzz-work/<target>/corpus, which also keeps what the run adds; a crashing input
# is saved under BUILD_DIR/fuzz-work/<target>/artifacts. Prints executions, coverage and the
# result per target and exits non-zero when any target failed.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/build-common.sh"

seconds=${1:-60}
build_dir=${2:-build-fuzz}
targets=(gif_encoder_fuzz color_reduction_fuzz)

bash scripts/install-deps.sh

echo "== Build fuzz targets: $build_dir"
generator=()
[ -f "$build_dir/CMakeCache.txt" ] || generator=(-G Ninja)
CC=clang CXX=clang++ cmake -S . -B "$build_dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVANE_FUZZ=ON -DQUORVANE_BUILD_GUI=OFF -DQUORVANE_BUILD_BENCH=OFF
cmake --build "$build_dir" -j2 --target "${targets[@]}"

failed=0
summary=()
for target in "${targets[@]}"; do
  work="$build_dir/fuzz-work/$target"
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/artifacts"
  cp fuzz/corpus/"$target"/* "$work/corpus/"
  echo "== Fuzz $target for ${seconds}s"
  status=0
  # A single input may take seconds (16 frames of 1000 x 1000 under the sanitizers); only
  # one far slower than that counts as a hang.
  "$build_dir/fuzz/$target" -max_total_time="$seconds" -timeout=300 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "$work/corpus" >"$work/log.txt" 2>&1 || status=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log.txt" | tail -n 1)
  coverage=$(grep -Eo 'cov: [0-9]+ ft: [0-9]+' "$work/log.txt" | tail -n 1 || true)
  if [ "$status" -eq 0 ]; then
    result=ok
  else
    result="FAILED (exit $status, log $work/log.txt)"
    failed=1
    tail -n 60 "$work/log.txt"
  fi
  summary+=("$target: ${execs:-?} executions, ${coverage:-no coverage line}, $result")
done

echo "== Fuzz summary (${seconds}s per target)"
printf '  %s\n' "${summary[@]}"
exit "$failed"
