#!/usr/bin/env bash
# Installs what is missing, builds Quorvane and starts it. Arguments go to the program.
# BUILD_DIR (default build) selects the build tree, relative to the repository root.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/build-common.sh"

build_dir=${BUILD_DIR:-build}

bash scripts/install-deps.sh
# Only the program: no tests and no benchmarks (scripts/test.sh builds those).
configure_and_build "$build_dir" -DQUORVANE_BUILD_GUI=ON -DQUORVANE_BUILD_TESTS=OFF -DQUORVANE_BUILD_BENCH=OFF
exec "$build_dir/src/shell/quorvane" "$@"
