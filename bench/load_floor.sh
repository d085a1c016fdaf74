#!/usr/bin/env bash
# What loading the shared libraries alone costs at start-up: a program that
# does nothing, linked against (a) FFmpeg's libraries and TurboJPEG, which any
# capture needs, and (b) every library oculon-headless itself names, run next
# to oculon-headless reaching its first status line on a 320 x 240 MJPEG file
# (the `startup-file` row of scripts/measure.sh). Prints the median wall time
# of each in milliseconds. Installs nothing.
#
# usage: bench/load_floor.sh [-b BUILD] [-n RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/default
runs=15
while getopts b:n: opt; do
  case $opt in
    b) build=$OPTARG ;;
    n) runs=$OPTARG ;;
    *) sed -n '2,9p' "$0"; exit 2 ;;
  esac
done
[[ $build == /* ]] || build=$PWD/$build
headless=$build/src/main/oculon-headless
[ -x "$headless" ] || { echo "no $headless: build first" >&2; exit 1; }

work=$(mktemp -d -t oculon-floor-XXXXXX)
trap 'rm -rf "$work"' EXIT
# Says "status:" at once, as the real program does once it watches: both are
# timed from launch to that line, so the exit's unloading is left out of both.
printf '#include <stdio.h>\nint main(void) { puts("status:"); fflush(stdout); return 0; }\n' > "$work/nop.c"
# Both take over libhwy's timer calibration as the programs do, so that only
# the loading is timed.
hwy=(-x c++ src/main/HwyTimerResolution.cpp)
# shellcheck disable=SC2046
c++ -x c "$work/nop.c" "${hwy[@]}" -o "$work/nop-ffmpeg" -Wl,--no-as-needed \
  $(pkg-config --libs libavformat libavcodec libswscale libavutil libturbojpeg)
mapfile -t needed < <(readelf -d "$headless" | sed -n 's/.*NEEDED.*\[\(.*\)\]/\1/p')
c++ -x c "$work/nop.c" "${hwy[@]}" -o "$work/nop-all" -Wl,--no-as-needed "${needed[@]/#/-l:}"

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

ffmpeg -loglevel error -y -f lavfi -i "color=c=0x606060:s=320x240:r=20" -t 10 -c:v mjpeg -q:v 5 \
  "$work/clip.avi"
echo "Floor camera|file:$work/clip.avi" > "$work/devices.txt"
mkdir -p "$work/home"
printf '<VIDEO_SRC>Floor camera</VIDEO_SRC>\nMOTION_FPS=10\nMOTION_WRM=1\n' > "$work/home/oculon.ini"
export SDL_AUDIODRIVER=dummy OCULON_DEVICES=$work/devices.txt

# Milliseconds from launch to the command's first "status:" line.
first_status_ms() { # command...
  local t0 line
  t0=$(date +%s%N)
  exec 3< <(exec "$@" 2> /dev/null)
  while IFS= read -r line <&3; do [[ $line == status:* ]] && break; done
  echo $((($(date +%s%N) - t0) / 1000000))
  exec 3<&-
  wait
}

printf '| What | Libraries | Median wall ms (%d runs) |\n|---|---|---|\n' "$runs"
for what in nop-ffmpeg nop-all; do
  libs=$(ldd "$work/$what" | wc -l)
  ms=$(for ((i = 0; i < runs; i++)); do first_status_ms "$work/$what"; done | median)
  echo "| $what: nothing but loading | $libs | $ms |"
done
libs=$(ldd "$headless" | wc -l)
ms=$(for ((i = 0; i < runs; i++)); do first_status_ms "$headless" --home "$work/home" --run-for 1; done |
  median)
echo "| oculon-headless to its first status line | $libs | $ms |"
