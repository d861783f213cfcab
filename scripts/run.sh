#!/usr/bin/env bash
# Installs what is missing, builds Quorvane and starts it. Arguments go to the program.
# BUILD_DIR (default build) selects the build tree, relative to the repository root.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/build-common.sh"

build_dir=${BUILD_DIR:-build}

bash scripts/install-deps.sh
configure_and_build "$build_dir" -DQUORVANE_BUILD_GUI=ON
exec "$build_dir/src/shell/quorvane" "$@"
