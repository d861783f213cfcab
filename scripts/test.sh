#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: first the whole
# suite in BUILD_DIR (default build), then the whole suite again under AddressSanitizer,
# UndefinedBehaviorSanitizer and LeakSanitizer in ASAN_BUILD_DIR (default build-asan; their
# options and the leak suppressions of scripts/lsan.supp are compiled in), then the encoder,
# conversion and encoder-tool tests under ThreadSanitizer in TSAN_BUILD_DIR (default
# build-tsan; the parts that run worker threads of our own), then a smoke
# run of each fuzz target (FUZZ_SECONDS, default 30, each) in FUZZ_BUILD_DIR
# (default build-fuzz); longer fuzzing is scripts/fuzz.sh's, outside CI.
# Directories are relative to the repository root. Exits non-zero on the first failure.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/build-common.sh"

build_dir=${BUILD_DIR:-build}
asan_build_dir=${ASAN_BUILD_DIR:-build-asan}
tsan_build_dir=${TSAN_BUILD_DIR:-build-tsan}
fuzz_build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
fuzz_seconds=${FUZZ_SECONDS:-30}

bash scripts/install-deps.sh --test

echo "== Build and test: $build_dir"
# Line tables instead of full debug data: the same code, about a quarter less to compile.
# Tests and benchmarks on, and every warning of our own code an error.
strict=(-DQUORVANE_BUILD_TESTS=ON -DQUORVANE_WERROR=ON)
configure_and_build "$build_dir" -DQUORVANE_BUILD_GUI=ON -DQUORVANE_BUILD_BENCH=ON "${strict[@]}" \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
ctest --test-dir "$build_dir" -j2 --timeout 300 --no-tests=error --output-on-failure

echo "== Build and test under sanitizers: $asan_build_dir"
# Line tables are all a sanitizer report needs, and -O1 (what the sanitizers are made for)
# with them builds about twice as fast as the default -O2 -g.
configure_and_build "$asan_build_dir" \
  -DQUORVANE_SANITIZE=ON -DQUORVANE_BUILD_GUI=ON -DQUORVANE_BUILD_BENCH=OFF "${strict[@]}" \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG"
ctest --test-dir "$asan_build_dir" -j2 --timeout 300 --no-tests=error --output-on-failure

echo "== Build and test under ThreadSanitizer: $tsan_build_dir"
# GStreamer, GLib and Qt are not instrumented, so the window and player tests stay out: what
# runs here is every test of the code that starts threads of its own.
BUILD_TARGETS="gifimage_tests convert_tests gifenc_tool_tests quorvane-gifenc" configure_and_build "$tsan_build_dir" \
  -DQUORVANE_SANITIZE_THREAD=ON -DQUORVANE_BUILD_GUI=ON -DQUORVANE_BUILD_BENCH=ON "${strict[@]}" \
  "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG"
# The exact capture's tests run GStreamer pipelines, whose threads hand data over through
# GLib's own locks, which ThreadSanitizer cannot see: they stay out too.
ctest --test-dir "$tsan_build_dir" -L "gifimage|convert|tools" -E "^ExactCapture\." -j2 --timeout 300 \
  --no-tests=error --output-on-failure

echo "== Fuzz smoke run: $fuzz_build_dir"
FUZZ_SMOKE=1 bash scripts/fuzz.sh "$fuzz_seconds" "$fuzz_build_dir"
