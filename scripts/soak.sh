#!/usr/bin/env bash
# The soak run: builds quorvane_soak and the sample videos it plays in BUILD_DIR (default
# build-soak, relative to the repository root; configured with the GUI and benchmarks on
# when it does not exist yet), then runs it headless and prints memory, file descriptor
# and thread figures with a PASS/FAIL line per goal. Takes about six minutes; not part of CI.
#
#   scripts/soak.sh [BUILD_DIR] [--conversions N] [--cycles N] [--stops N]
#
# The counts default to 100 conversions, 50 open/close cycles and 20 "Stop Process"
# presses; e.g. "scripts/soak.sh build-soak --conversions 12 --cycles 20 --stops 12" is a
# quick run (cycles in tens: see bench/README.md). The program runs with a temporary HOME
# and XDG folders, so its results and settings never touch the user's, and mail goes to a
# closed local port. Exits non-zero when a goal failed or an operation did not succeed.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/build-common.sh"

build_dir=build-soak
if [[ $# -gt 0 && $1 != --* ]]; then
  build_dir=$1
  shift
fi

if [[ ! -f $build_dir/CMakeCache.txt ]]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUORVANE_BUILD_GUI=ON -DQUORVANE_BUILD_BENCH=ON
fi
# Only the soak and what it needs (the program's libraries, giflib's decoder wrapper, the
# sample videos made with ffmpeg into the build tree).
cmake --build "$build_dir" -j2 --target quorvane_soak

home=$(mktemp -d /tmp/quorvane-soak.XXXXXX)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/data" "$home/config" "$home/cache" "$home/runtime"
chmod 700 "$home/runtime"
export HOME=$home XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config \
  XDG_CACHE_HOME=$home/cache XDG_RUNTIME_DIR=$home/runtime
export QT_QPA_PLATFORM=offscreen
# A fixed mmap threshold of 128 KiB (glibc's starting value), unless the caller sets one
# (an empty value keeps glibc's default). By default glibc raises the threshold to the size
# of the largest mapped block freed so far: once a 1280 x 720 picture (3.6 MB) has been
# freed, later pictures come from the heap's arenas, which keep them resident after they
# are freed. Resident memory then climbs by 20 to 45 MB over the first few dozen operations to a
# plateau, with nothing leaked, and that noise would hide a leak or fake one. With the
# threshold fixed, every picture is mapped and unmapped and resident memory follows what
# is in use.
if [[ -n ${MALLOC_MMAP_THRESHOLD_+set} && -z $MALLOC_MMAP_THRESHOLD_ ]]; then
  unset MALLOC_MMAP_THRESHOLD_
else
  export MALLOC_MMAP_THRESHOLD_=${MALLOC_MMAP_THRESHOLD_:-131072}
fi
export QUORVANE_SMTP_HOST=127.0.0.1 QUORVANE_SMTP_PORT=1

"$build_dir/bench/quorvane_soak" "$@"
