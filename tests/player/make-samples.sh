#!/usr/bin/env bash
# Writes the small sample videos the player tests run on: make-samples.sh OUTDIR
#
# Every clip is 3 s at 30 frames per second (frames 0..89) over SMPTE colour bars.
#
# Frame index layout (read it back from the decoded picture):
#   The top 16 rows carry the frame number N (0-based, as decoded from the start) in
#   binary: 16 blocks of 16x16 pixels side by side, block k covering
#   x = 16k .. 16k+15, y = 0 .. 15 (k = 0 .. 15, so x = 0 .. 255).
#   Block k is white when bit (15 - k) of N is set, black otherwise: the most significant
#   bit is on the left, bit 0 is block 15 (x = 240 .. 255).
#   Blocks sit on the 16-pixel macroblock grid, so lossy coding leaves them clean: sample
#   the luma (or any channel) near the centre of a block, white is > 128, black < 128.
#   Rotated files carry the blocks in their stored (unrotated) picture.
#
# Files (<size> is 640x480 or 1280x720):
#   h264_<size>.mp4  h264_<size>_audio.mp4    MP4, H.264 (+ AAC)
#   mpeg4_<size>.avi mpeg4_<size>_audio.avi   AVI, MPEG-4 Visual (+ MP3)
#   vp8_<size>.webm  vp8_<size>_audio.webm    WebM, VP8 (+ Vorbis)
#   h264_<size>.mkv  h264_<size>_audio.mkv    Matroska, H.264 (+ Vorbis)
#   rotated90_640x480.mp4   H.264 stored 640x480 with a 90-degree rotation (shown 480x640)
#   audio_only.m4a          3 s AAC sine, no video
#   truncated.mp4           the first half of the bytes of h264_640x480.mp4 (its index,
#                           written at the end, is lost: the file cannot be read)
#   not_media.mp4           a text file
# Audio tracks are a 440 Hz sine, 3 s, 48 kHz.
set -euo pipefail

out=${1:?usage: make-samples.sh OUTDIR}
mkdir -p "$out"

ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }

# drawbox filters for the 16 bit blocks: a black strip, then a white box per set bit.
index_filter="drawbox=x=0:y=0:w=256:h=16:color=black:t=fill"
for k in $(seq 0 15); do
  bit=$((15 - k))
  index_filter+=",drawbox=x=$((16 * k)):y=0:w=16:h=16:color=white:t=fill:enable='eq(mod(floor(n/$((1 << bit))),2),1)'"
done

common_out=(-map_metadata -1 -fflags +bitexact -flags:v +bitexact -flags:a +bitexact -pix_fmt yuv420p)

# make_clip FILE SIZE VCODEC-ARGS... -- ACODEC-ARGS...  (no audio args: no audio track)
make_clip() {
  local file=$1 size=$2
  shift 2
  local vargs=() aargs=()
  while (($#)) && [[ $1 != -- ]]; do vargs+=("$1"); shift; done
  if (($#)); then shift; aargs=("$@"); fi
  local inputs=(-f lavfi -i "smptebars=size=$size:rate=30:duration=3,$index_filter")
  if ((${#aargs[@]})); then
    inputs+=(-f lavfi -i "sine=frequency=440:sample_rate=48000:duration=3")
  fi
  ff "${inputs[@]}" "${common_out[@]}" "${vargs[@]}" "${aargs[@]}" -t 3 "$out/$file"
}

h264=(-c:v libx264 -preset ultrafast -g 30 -threads 1)
mpeg4=(-c:v mpeg4 -q:v 4 -g 30 -threads 1)
vp8=(-c:v libvpx -deadline realtime -cpu-used 8 -b:v 400k -g 30 -threads 1)

pids=()
for size in 640x480 1280x720; do
  make_clip "h264_$size.mp4" "$size" "${h264[@]}" & pids+=($!)
  make_clip "h264_${size}_audio.mp4" "$size" "${h264[@]}" -- -c:a aac -b:a 64k & pids+=($!)
  make_clip "mpeg4_$size.avi" "$size" "${mpeg4[@]}" & pids+=($!)
  make_clip "mpeg4_${size}_audio.avi" "$size" "${mpeg4[@]}" -- -c:a libmp3lame -b:a 64k & pids+=($!)
  make_clip "vp8_$size.webm" "$size" "${vp8[@]}" & pids+=($!)
  make_clip "vp8_${size}_audio.webm" "$size" "${vp8[@]}" -- -c:a libvorbis -q:a 1 & pids+=($!)
  make_clip "h264_$size.mkv" "$size" "${h264[@]}" & pids+=($!)
  make_clip "h264_${size}_audio.mkv" "$size" "${h264[@]}" -- -c:a libvorbis -q:a 1 & pids+=($!)
done
ff -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=3" -map_metadata -1 \
  -fflags +bitexact -flags:a +bitexact -c:a aac -b:a 64k "$out/audio_only.m4a" & pids+=($!)
for pid in "${pids[@]}"; do wait "$pid"; done

full="$out/h264_640x480.mp4"
# The rotation tag survives only a stream copy here (an encoding run drops it).
ff -i "$full" -c copy -map_metadata -1 -fflags +bitexact -metadata:s:v:0 rotate=90 \
  "$out/rotated90_640x480.mp4"
head -c $(($(stat -c %s "$full") / 2)) "$full" >"$out/truncated.mp4"
printf 'This is a plain text file, not a video.\n' >"$out/not_media.mp4"
# h264_640x480_8s.mp4: as h264_640x480.mp4 but 8 s long (frames 0..239), for transport tests.
ff -f lavfi -i "smptebars=size=640x480:rate=30:duration=8,$index_filter" "${common_out[@]}" "${h264[@]}" -t 8 "$out/h264_640x480_8s.mp4"
