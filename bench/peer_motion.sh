#!/usr/bin/env bash
# Oculon against Debian's `motion` daemon, side by side on the same generated
# clip: CPU time (user + system, all threads) and peak resident memory of each
# program over the same wall time, for a still scene (watching) and for
# continuous motion (recording). Installs nothing: `motion` must be there
# (`apt-get install motion`), and oculon-headless built.
#
# The camera for both is a 320 x 240 MJPEG file at 20 frames a second, made
# here with FFmpeg and looped by both programs. Oculon watches at 10 fps and
# records at 20 (CAPTURE_WMV=1, CAPTURE_JPG=0; MOVIE_FORMAT 0 = WMV, 1 = MP4);
# motion records H.264 in Matroska, no pictures. Sound goes to SDL's dummy
# driver.
#
# usage: bench/peer_motion.sh [-b BUILD] [-s SECONDS] [-n RUNS]
#   BUILD    build folder holding src/main/oculon-headless (default build/default)
#   SECONDS  wall time of each run (default 30); RUNS: runs per case, median kept (default 1)
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/default
seconds=30
runs=1
while getopts b:s:n: opt; do
  case $opt in
    b) build=$OPTARG ;;
    s) seconds=$OPTARG ;;
    n) runs=$OPTARG ;;
    *) sed -n '2,16p' "$0"; exit 2 ;;
  esac
done
[[ $build == /* ]] || build=$PWD/$build
headless=$build/src/main/oculon-headless
[ -x "$headless" ] || { echo "no $headless: build first" >&2; exit 1; }
command -v motion > /dev/null || { echo "motion is not installed (apt-get install motion)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "GNU time is needed (/usr/bin/time)" >&2; exit 1; }

work=$(mktemp -d -t oculon-peer-XXXXXX)
trap 'rm -rf "$work"' EXIT
export SDL_AUDIODRIVER=dummy
unset OCULON_HOME

# Clips a little longer than a run, so neither program reaches the loop point.
length=$((seconds + 10))
ffmpeg -loglevel error -y -f lavfi \
  -i "color=c=0x606060:s=320x240:r=20,noise=alls=4:allf=t" \
  -t "$length" -c:v mjpeg -q:v 5 "$work/still.avi"
ffmpeg -loglevel error -y -f lavfi \
  -i "color=c=0x606060:s=320x240:r=20[bg];color=c=white:s=40x40:r=20[box];[bg][box]overlay=x='mod(t*150,280)':y=100" \
  -t "$length" -c:v mjpeg -q:v 5 "$work/moving.avi"

# One run under GNU time; prints "CPU_SECONDS PEAK_MB".
measure() { # out_file command...
  local out=$1
  shift
  /usr/bin/time -f '%U %S %M' -o "$out" timeout -s INT -k 20 "$seconds" "$@" > /dev/null 2>&1 || true
  tail -n 1 "$out" | awk '{ printf "%.2f %.1f\n", $1 + $2, $3 / 1024 }'
}

run_motion() { # clip
  local dir=$work/motion
  rm -rf "$dir"
  mkdir -p "$dir/out"
  cat > "$dir/motion.conf" <<CONF
daemon off
setup_mode off
log_level 4
log_file $dir/motion.log
target_dir $dir/out
netcam_url file://$work/$1.avi
width 320
height 240
framerate 20
threshold 1500
picture_output off
movie_output on
movie_codec mkv
webcontrol_port 0
stream_port 0
pid_file $dir/motion.pid
CONF
  measure "$dir/time.txt" motion -n -c "$dir/motion.conf"
}

run_oculon() { # clip movie_format
  local dir=$work/oculon
  rm -rf "$dir"
  mkdir -p "$dir/home"
  echo "Peer clip|file:$work/$1.avi" > "$dir/devices.txt"
  cat > "$dir/home/oculon.ini" <<INI
<VIDEO_SRC>Peer clip</VIDEO_SRC>
MOTION_FPS=10
MOTION_WRM=1
CAPTURE_FPS=20
CAPTURE_WMV=1
CAPTURE_JPG=0
[RECORDING]
MOVIE_FORMAT=$2
INI
  OCULON_DEVICES=$dir/devices.txt measure "$dir/time.txt" "$headless" --home "$dir/home"
}

# The median line of several runs, by CPU time.
median() { sort -n | awk '{ a[NR] = $0 } END { print a[int((NR + 1) / 2)] }'; }

printf '| Case | motion CPU | oculon-headless CPU | ratio | motion peak RSS | oculon peak RSS |\n'
printf '|---|---|---|---|---|---|\n'
row() { # label clip movie_format
  local m o i
  # The two programs take turns, so a change in the machine's other load
  # weighs on both alike.
  : > "$work/m.txt"
  : > "$work/o.txt"
  for ((i = 0; i < runs; i++)); do
    run_motion "$2" >> "$work/m.txt"
    run_oculon "$2" "$3" >> "$work/o.txt"
  done
  m=$(median < "$work/m.txt")
  o=$(median < "$work/o.txt")
  awk -v label="$1" -v m="$m" -v o="$o" -v load="$(cut -d' ' -f1 /proc/loadavg)" 'BEGIN {
    split(m, a, " "); split(o, b, " ")
    printf "| %s | %.2f s | %.2f s | %.2f | %.1f MB | %.1f MB |\n", label, a[1], b[1],
      (a[1] > 0 ? b[1] / a[1] : 0), a[2], b[2]
  }'
}
row "watching a still scene" still 0
row "recording continuous motion (WMV)" moving 0
row "recording continuous motion (MP4)" moving 1
echo "($seconds s each, load $(cut -d' ' -f1 /proc/loadavg) at the end)"
