#!/bin/sh
# Saves pictures of the main window (each settings page, and the look during a
# conversion) and of the progress dialog, for checking the layout by eye.
# Builds nothing: it runs quorvane-screenshot from an existing build.
#
#   scripts/screenshot.sh [BUILD_DIR] [OUT_DIR]
#
# BUILD_DIR defaults to ./build, OUT_DIR to /tmp. Writes quorvane-main.png (first
# page), quorvane-clipcrop.png, quorvane-effects.png, quorvane-converting.png and
# quorvane-procform.png; with the sample videos of the player tests built, also
# quorvane-video.png (a 1280x720 sample paused at 1 s in the player) and
# quorvane-opened.png (a sample opened with "Open Video", the crop frame dragged and the
# text overlay on).
set -eu

build_dir=${1:-build}
out_dir=${2:-/tmp}

helper=$(find "$build_dir" -type f -name quorvane-screenshot -perm -u+x | head -n 1)
if [ -z "$helper" ]; then
    echo "quorvane-screenshot not found under $build_dir; build the target first" >&2
    exit 1
fi
mkdir -p "$out_dir"

export QT_QPA_PLATFORM=offscreen
"$helper" "$out_dir/quorvane-main.png" --tab 0
"$helper" "$out_dir/quorvane-clipcrop.png" --tab 1
"$helper" "$out_dir/quorvane-effects.png" --tab 2
"$helper" "$out_dir/quorvane-converting.png" --converting
"$helper" "$out_dir/quorvane-procform.png" --procform
sample="$build_dir/tests/player/samples/h264_1280x720_audio.mp4"
if [ -f "$sample" ]; then
    "$helper" "$out_dir/quorvane-video.png" --video "$sample" --at 1000
    "$helper" "$out_dir/quorvane-opened.png" --open "$build_dir/tests/player/samples/h264_640x480_8s.mp4"
fi
echo "pictures written to $out_dir"
