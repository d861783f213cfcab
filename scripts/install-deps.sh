#!/usr/bin/env bash
# Installs the Debian packages Quorvane needs to build and run; with --test also those of
# the tests, the sanitizer and fuzzing builds and the benchmarks.
# Safe to run again: it installs only what is missing and prints nothing when all is there.
set -euo pipefail

with_tests=false
case "${1:-}" in
  --test) with_tests=true ;;
  "") ;;
  *) echo "usage: $(basename "$0") [--test]" >&2; exit 2 ;;
esac

packages=(
  # build
  g++ cmake ninja-build pkg-config
  # windowing toolkit
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # media framework
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-plugins-ugly gstreamer1.0-libav gstreamer1.0-alsa gstreamer1.0-pulseaudio
  fonts-dejavu-core
  # mail transport
  libcurl4-openssl-dev
)
test_packages=(
  # tests: independent GIF decoder, unit tests, sanitizers and fuzzing runtime, SMTP peer, sample videos
  libgif-dev giflib-tools googletest libgtest-dev libgmock-dev
  clang libclang-rt-14-dev
  python3 python3-aiosmtpd
  ffmpeg
  # benchmarks and the side-by-side comparison
  libbenchmark-dev imagemagick
  # running the program headless for screenshots
  xvfb xauth
)
if $with_tests; then packages+=("${test_packages[@]}"); fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
