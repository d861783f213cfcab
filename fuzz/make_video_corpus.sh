#!/usr/bin/env bash
# Writes the seed files of video_open_fuzz into fuzz/corpus/video_open_fuzz/ with ffmpeg:
# tiny clips (16 x 16, a few frames) in the containers and codecs the program meets, one
# with sound, one audio only, one tagged as rotated, so the first inputs already reach every
# path of opening a video. Bit-exact, single-threaded encoders make the files reproducible
# with the same ffmpeg. Run it again only to change the seeds.
set -euo pipefail
out="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/corpus/video_open_fuzz"
mkdir -p "$out"
rm -f "$out"/*

video=(-f lavfi -i "testsrc2=size=16x16:rate=10:duration=0.3")
sound=(-f lavfi -i "sine=frequency=440:sample_rate=8000:duration=0.3")
exact=(-threads 1 -fflags +bitexact -flags:v +bitexact -flags:a +bitexact -map_metadata -1)

make() {
  local name=$1
  shift
  ffmpeg -hide_banner -loglevel error -y "$@" "${exact[@]}" "$out/$name"
}

make h264_aac.mp4 "${video[@]}" "${sound[@]}" -c:v libx264 -preset ultrafast -pix_fmt yuv420p \
  -c:a aac -b:a 8k -ac 1
make h264_rotated_90.mp4 "${video[@]}" -c:v libx264 -preset ultrafast -pix_fmt yuv420p \
  -metadata:s:v:0 rotate=90
make vp8_opus.webm "${video[@]}" "${sound[@]}" -c:v libvpx -b:v 20k -c:a libopus -b:a 6k -ac 1 -ar 48000
make mpeg4_mp2.avi "${video[@]}" "${sound[@]}" -c:v mpeg4 -q:v 10 -c:a mp2 -b:a 32k -ac 1 -ar 16000
make mpeg1.mpg "${video[@]}" -c:v mpeg1video -q:v 10 -r 25
make theora.ogv "${video[@]}" -c:v libtheora -q:v 2
make vorbis.ogg "${sound[@]}" -c:a libvorbis -q:a 0 -ac 1 -ar 8000
make mjpeg.mkv "${video[@]}" -c:v mjpeg -q:v 20 -pix_fmt yuvj420p
ls -l "$out"
