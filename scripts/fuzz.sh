#!/usr/bin/env bash
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET] [BUILD_DIR]
# Builds the libFuzzer targets of fuzz/ with clang (ASan and UBSan on) in BUILD_DIR (default
# build-fuzz, relative to the repository root) and runs each for SECONDS_PER_TARGET seconds
# (default 60). Each target starts from a copy of its committed seeds in
# BUILD_DIR/fuzz-work/<target>/corpus, which also keeps what the run adds; a crashing input
# is saved under BUILD_DIR/fuzz-work/<target>/artifacts. Prints executions, coverage and the
# result per target and exits non-zero when any target failed. FUZZ_SMOKE=1: see below.
# FUZZ_TARGETS="a b": only these targets. FUZZ_REPEAT=N: each target runs N times in a row,
# each time from a fresh copy of its seeds (work folder fuzz-work/<target>/run-<k>), and
# the summary says how many of the N runs failed: a way to show that a result does not
# depend on timing.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/build-common.sh"

seconds=${1:-60}
build_dir=${2:-build-fuzz}
all_targets=(gif_encoder_fuzz color_reduction_fuzz video_open_fuzz)
read -r -a targets <<<"${FUZZ_TARGETS:-${all_targets[*]}}"
for target in "${targets[@]}"; do
  [[ " ${all_targets[*]} " == *" $target "* ]] || { echo "unknown fuzz target: $target" >&2; exit 2; }
done
repeat=${FUZZ_REPEAT:-1}
[[ "$repeat" =~ ^[1-9][0-9]*$ ]] || { echo "FUZZ_REPEAT must be a positive count" >&2; exit 2; }
# Seconds one input may take before libFuzzer calls it a hang. An encoder input may take
# seconds (16 frames of 1000 x 1000 under the sanitizers); opening a video is bounded by the
# discoverer's 5 s timeout, 2.5 s of playing, 1 s for the player to see its pipeline
# released and 10 s each for the check to see its elements and its other objects go (about
# 29 s in all, reached only by a leak), so 60 s means a pipeline that never stops.
declare -A input_timeout=([gif_encoder_fuzz]=300 [color_reduction_fuzz]=300 [video_open_fuzz]=60)
# Memory a run may reach: GStreamer, Qt and ASan's quarantine take some hundred MB more for
# opening videos than the encoder targets need.
declare -A rss_limit_mb=([gif_encoder_fuzz]=2048 [color_reduction_fuzz]=2048 [video_open_fuzz]=4096)
# FUZZ_SMOKE=1 (CI's short runs): opening videos runs without LeakSanitizer. GStreamer 1.22
# loses a few small GLib blocks after some demuxer errors, a few times in half an hour, so a
# short run would fail now and then for what is not ours; the long runs keep it. The
# sanitizers' options and the third-party leak suppressions are compiled into the targets.
declare -A smoke_options=([video_open_fuzz]="-detect_leaks=0")
smoke=${FUZZ_SMOKE:-0}

bash scripts/install-deps.sh --test

echo "== Build fuzz targets: $build_dir"
generator=()
[ -f "$build_dir/CMakeCache.txt" ] || generator=(-G Ninja)
CC=clang CXX=clang++ cmake -S . -B "$build_dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVANE_FUZZ=ON -DQUORVANE_BUILD_GUI=ON -DQUORVANE_BUILD_BENCH=OFF -DQUORVANE_BUILD_TESTS=ON -DQUORVANE_WERROR=ON
# Only the targets and what they link: the player and its libraries, not the program or tests.
cmake --build "$build_dir" -j2 --target "${targets[@]}"

failed=0
summary=()
# run_target TARGET WORK_DIR: one run from a fresh copy of the seeds; sets status, execs and
# coverage.
run_target() {
  local target=$1 work=$2
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/artifacts"
  cp fuzz/corpus/"$target"/* "$work/corpus/"
  status=0
  local extra=() runner=()
  if [ "$smoke" = 1 ] && [ -n "${smoke_options[$target]:-}" ]; then
    read -r -a extra <<<"${smoke_options[$target]}"
    runner=(env ASAN_OPTIONS=detect_leaks=0)  # the check at exit too
  fi
  "${runner[@]}" "$build_dir/fuzz/$target" -max_total_time="$seconds" -timeout="${input_timeout[$target]}" \
    -rss_limit_mb="${rss_limit_mb[$target]}" -print_final_stats=1 "${extra[@]}" \
    -artifact_prefix="$work/artifacts/" "$work/corpus" >"$work/log.txt" 2>&1 || status=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log.txt" | tail -n 1)
  coverage=$(grep -Eo 'cov: [0-9]+ ft: [0-9]+' "$work/log.txt" | tail -n 1 || true)
}

for target in "${targets[@]}"; do
  rm -rf "$build_dir/fuzz-work/$target"
  [ "$repeat" -eq 1 ] && echo "== Fuzz $target for ${seconds}s"
  runs_failed=0
  total_execs=0
  for k in $(seq 1 "$repeat"); do
    work="$build_dir/fuzz-work/$target"
    [ "$repeat" -eq 1 ] || work="$work/run-$k"
    run_target "$target" "$work"
    total_execs=$((total_execs + ${execs:-0}))
    if [ "$status" -eq 0 ]; then
      result=ok
    else
      result="FAILED (exit $status, log $work/log.txt)"
      runs_failed=$((runs_failed + 1))
      failed=1
      tail -n 60 "$work/log.txt"
    fi
    [ "$repeat" -eq 1 ] ||
      echo "== Fuzz $target run $k of $repeat (${seconds}s): ${execs:-?} executions, ${coverage:-no coverage line}, $result"
  done
  if [ "$repeat" -eq 1 ]; then
    summary+=("$target: ${execs:-?} executions, ${coverage:-no coverage line}, $result")
  else
    summary+=("$target: $runs_failed of $repeat runs failed, $total_execs executions in all")
  fi
done

echo "== Fuzz summary (${seconds}s per target)"
printf '  %s\n' "${summary[@]}"
exit "$failed"
