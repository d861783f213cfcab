# Shared by run.sh and test.sh; sourced, not run. Moves to the repository root and
# provides configure_and_build.

cd "$(dirname "${BASH_SOURCE[0]}")/.."

# configure_and_build DIR [CMAKE_ARGS...]
# Configures DIR (Ninja, RelWithDebInfo) and builds every target in it with two jobs, or
# only the targets listed in BUILD_TARGETS (space-separated) when that is set.
# The generator is chosen only for a fresh tree: CMake refuses to switch generators
# in an existing one.
configure_and_build() {
  local dir=$1
  shift
  local generator=()
  [ -f "$dir/CMakeCache.txt" ] || generator=(-G Ninja)
  cmake -S . -B "$dir" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
  local targets=()
  [ -z "${BUILD_TARGETS:-}" ] || targets=(--target ${BUILD_TARGETS})
  cmake --build "$dir" -j2 "${targets[@]}"
}
