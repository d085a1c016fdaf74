#!/usr/bin/env bash
# What other libx264 settings would trade against the MP4 writer's own
# (`veryfast` looking 5 frames ahead, CRF 26, main profile, no B-frames, one
# thread; lookahead10 is the preset's own look-ahead): for each scene
# and setting, the encoder's instructions relative to the writer's setting
# (counted under valgrind, since the same encode's time varies by 15 % on a
# shared virtual machine), the movie's size at CRF 26, and the PSNR it reaches
# at the size the writer's setting gives at CRF 26 (interpolated over CRF 24
# to 34), so that a setting which only moves along the same quality curve
# shows as 0 dB. Installs nothing: needs ffmpeg and valgrind.
#
# The scenes, 10 s of 320 x 240 at 20 frames a second, drawn by FFmpeg:
#   box    the grey scene with a white box of bench/peer_motion.sh; a flat
#          picture whose size hardly moves with the CRF, so only its
#          instructions and size are given
#   room   a textured room with light sensor noise, someone walking through
#   night  the room in the dark under heavy sensor grain
#
# usage: bench/x264_settings.sh [NAME=PRESET|X264-PARAMS ...]
#   with settings named (no spaces), those are weighed against the writer's
#   instead of the list below, e.g. 'dia=veryfast|rc-lookahead=5:me=dia'
set -euo pipefail
command -v valgrind > /dev/null || { echo "valgrind is not installed" >&2; exit 1; }
command -v ffmpeg > /dev/null || { echo "ffmpeg is not installed" >&2; exit 1; }

# name=preset|x264-params; the first is the writer's own.
settings=(
  "writer=veryfast|rc-lookahead=5"
  "lookahead10=veryfast|"
  "lookahead3=veryfast|rc-lookahead=3"
  "subme1=veryfast|rc-lookahead=5:subme=1"
  "superfast+mbtree=superfast|mbtree=1:rc-lookahead=5"
  "ultrafast=ultrafast|"
)
if [ $# -gt 0 ]; then
  for s in "$@"; do
    [[ $s == *=*\|* && $s != *" "* ]] || { echo "not NAME=PRESET|X264-PARAMS: $s" >&2; exit 2; }
  done
  settings=("${settings[0]}" "$@")
fi

work=$(mktemp -d -t oculon-x264-XXXXXX)
trap 'rm -rf "$work"' EXIT

room="128+50*sin(X/9)*sin(Y/7)+30*sin(X/23+Y/31)"
scene() { # name filter-graph
  ffmpeg -loglevel error -y -f lavfi -i "$2" -t 10 -pix_fmt yuv420p -c:v rawvideo "$work/$1.nut"
}
scene box "color=c=0x606060:s=320x240:r=20[bg];color=c=white:s=40x40:r=20[box];[bg][box]overlay=x='mod(t*150,280)':y=100"
scene room "color=c=gray:s=320x240:r=20,format=gray,geq=lum='$room',format=yuv420p,noise=alls=3:allf=t[room];color=c=0x282828:s=40x110:r=20[p];[room][p]overlay=x='-40+90*mod(t,5)':y=80"
scene night "color=c=gray:s=320x240:r=20,format=gray,geq=lum='0.6*($room)'[room];color=c=gray:s=80x60:r=20,format=gray,noise=alls=70:allf=t+u:all_seed=7,scale=320:240:flags=bilinear[grain];[room][grain]blend=all_expr='A+B-128'"

# Instructions (millions) of one encode; prints "instructions bytes psnr".
encode() { # clip frames preset params crf
  local out=$work/out.mp4 ir
  ir=$(valgrind --tool=cachegrind --cache-sim=no --cachegrind-out-file=/dev/null \
    ffmpeg -loglevel error -y -i "$1" -frames:v "$2" -c:v libx264 -preset "$3" -profile:v main \
    -level 3.0 -crf "$5" -bf 0 -g 40 -threads 1 -x264-params "log=1${4:+:$4}" -an "$out" 2>&1 |
    awk '/I *refs/ { gsub(",", "", $NF); print $NF / 1e6 }')
  echo "$ir $(stat -c %s "$out") $(ffmpeg -i "$out" -i "$1" -lavfi psnr -f null - 2>&1 |
    grep -o 'average:[0-9.]*' | cut -d: -f2)"
}

printf '| Scene | Setting | Encoder instructions | Size at CRF 26 | PSNR at the writer'"'"'s size |\n'
printf '|---|---|---|---|---|\n'
for clip in box room night; do
  # What starting ffmpeg and reading the clip cost, taken off every count.
  base=$(encode "$work/$clip.nut" 1 veryfast "" 26 | cut -d' ' -f1)
  : > "$work/rows.txt"
  for s in "${settings[@]}"; do
    name=${s%%=*} rest=${s#*=}
    for crf in 24 26 28 30 32 34; do
      echo "$name $crf $(encode "$work/$clip.nut" 200 "${rest%%|*}" "${rest#*|}" "$crf")" >> "$work/rows.txt"
    done
  done
  awk -v clip="$clip" -v base="$base" -v flat="$([ "$clip" = box ] && echo 1)" '
    { n[$1] = 1; order[$1] = order[$1] ? order[$1] : ++count; ir[$1] += $3 - base
      size[$1, $2] = $4; psnr[$1, $2] = $5 }
    END {
      target = log(size["writer", 26])
      for (name in n) names[order[name]] = name
      for (i = 1; i <= count; i++) {
        name = names[i]; at = flat ? "–" : "larger even at CRF 34"
        # The first stretch of the curve, from the best quality down, that
        # passes the target; a curve that bends back later is not read.
        for (c = 24; c < 34 && at ~ /larger/; c += 2) {
          x0 = log(size[name, c + 2]); x1 = log(size[name, c])
          if (x0 <= target && target <= x1) {
            p = psnr[name, c + 2] + (psnr[name, c] - psnr[name, c + 2]) * (target - x0) / (x1 - x0)
            at = sprintf("%+.2f dB", p - psnr["writer", 26])
          }
        }
        printf "| %s | %s | %+.0f %% | %.1f KB | %s |\n", clip, name,
          100 * (ir[name] / ir["writer"] - 1), size[name, 26] / 1024, at
      }
    }' "$work/rows.txt"
done
