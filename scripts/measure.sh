#!/usr/bin/env bash
# Whole-process figures for docs/performance.md. Each figure is the median of
# several runs, printed with the 1-minute load average seen at the end of each
# run (the machine may be shared). Rows:
#   watch10       CPU share of one core: oculon-headless watching at 10 fps, still scene
#   watch10-gui   the same for the desktop program oculon (offscreen platform)
#   record20      the same while recording movie and stills at 20 fps, continuous motion
#   record60      the same at 60 fps
#   rss-headless  peak resident memory of oculon-headless recording at 20 fps
#   rss-gui       peak resident memory of oculon (offscreen platform) recording at 20 fps
#   startup       launch of oculon-headless to its first status line
#   startup-file  the same with a 320 x 240 MJPEG file as the camera, which
#                 needs no FFmpeg device library
# The camera is virtual (lavfi, 640 x 480), sound goes to SDL's dummy driver.
# CPU shares are taken from /proc/PID/stat over a window after arming (user +
# system time of all threads, capture thread included, divided by wall time);
# peak memory is VmHWM from /proc/PID/status at the end of that window.
#
# usage: scripts/measure.sh [-b BUILD] [-n RUNS] [-w SECONDS] [ROW...]
#   BUILD    a RelWithDebInfo build folder (default build/default)
#   RUNS     runs per row (default 3); SECONDS: measuring window (default 15)
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/default
runs=3
window=15
while getopts b:n:w: opt; do
  case $opt in
    b) build=$OPTARG ;;
    n) runs=$OPTARG ;;
    w) window=$OPTARG ;;
    *) sed -n '2,21p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
rows=("$@")
[ ${#rows[@]} -gt 0 ] || rows=(watch10 record20 record60 rss-headless rss-gui startup)

[[ $build == /* ]] || build=$PWD/$build
headless=$build/src/main/oculon-headless
gui=$build/src/main/oculon
[ -x "$headless" ] || { echo "no $headless: build first" >&2; exit 1; }
settle=4 # device opened, armed (MOTION_WRM=1), first motion seen, movie open
tck=$(getconf CLK_TCK)
work=$(mktemp -d -t oculon-measure-XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -KILL "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
export SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=offscreen
unset OCULON_HOME

# The virtual camera at `rate` frames a second: a still grey scene, or one that
# a white square crosses all the time (overlay evaluates its position per frame).
camera() { # rate moving
  local g="color=c=0x606060:s=640x480:r=$1"
  if [ "$2" = 1 ]; then
    g="${g}[bg];color=c=white:s=40x40:r=$1[box];[bg][box]overlay=x='mod(t*200,600)':y=200"
  fi
  echo "Bench camera|lavfi:$g" > "$work/devices.txt"
}

# A fresh home folder with the settings of one scenario; prints its path.
fresh_home() { # capture_fps record
  local h=$work/home
  rm -rf "$h"
  mkdir -p "$h"
  cat > "$h/oculon.ini" <<INI
<VIDEO_SRC>Bench camera</VIDEO_SRC>
MOTION_FPS=10
MOTION_WRM=1
CAPTURE_FPS=$1
CAPTURE_WMV=$2
CAPTURE_JPG=$2
INI
  echo "$h"
}

cpu_ticks() { sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }
peak_kb() { awk '/^VmHWM:/ { print $2 }' "/proc/$1/status"; }
load1() { cut -d' ' -f1 /proc/loadavg; }
now_ns() { date +%s%N; }

# Waits at most `seconds` for a process of ours to end, then kills it.
wait_bounded() { # pid seconds
  local i
  for ((i = 0; i < $2 * 10; i++)); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

# Each event line with the time it arrived, so the recording rate can be read.
stamp() { while IFS= read -r line; do printf '%s %s\n' "$(now_ns)" "$line"; done; }

# One run: prints "CPU_PERCENT PEAK_MB LOAD FRAMES_PER_S" (frames of the first
# movie over its recording time; "-" without a movie or an event log).
run_once() { # program(headless|gui) camera_rate moving capture_fps record
  camera "$2" "$3"
  local h
  h=$(fresh_home "$4" "$5")
  local log=$work/events.txt
  : > "$log"
  if [ "$1" = gui ]; then
    OCULON_HOME=$h OCULON_DEVICES=$work/devices.txt "$gui" > /dev/null 2>&1 &
  else
    OCULON_DEVICES=$work/devices.txt "$headless" --home "$h" \
      --run-for $((settle + window + 1)) > >(stamp > "$log") 2>/dev/null &
  fi
  local pid=$!
  pids+=("$pid")
  sleep "$settle"
  local t0 c0 t1 c1 kb load
  t0=$(now_ns)
  c0=$(cpu_ticks "$pid")
  sleep "$window"
  t1=$(now_ns)
  c1=$(cpu_ticks "$pid")
  kb=$(peak_kb "$pid")
  load=$(load1)
  [ "$1" = gui ] && kill -TERM "$pid"
  wait_bounded "$pid" 40
  sleep 0.2 # the event log's last lines
  local fps
  fps=$(awk '$2 == "movie:" && $3 == "start" && !s { s = $1 }
             $2 == "movie:" && $3 == "end" && s && !e { e = $1; n = $NF }
             END { if (e > s) printf "%.1f", n / ((e - s) / 1e9); else print "-" }' "$log")
  awk -v c=$((c1 - c0)) -v tck="$tck" -v ns=$((t1 - t0)) -v kb="$kb" -v load="$load" -v fps="$fps" \
    'BEGIN { printf "%.1f %.1f %s %s\n", 100 * c / tck / (ns / 1e9), kb / 1024, load, fps }'
}

# Launch to the first status line, in ms; prints "MS LOAD".
startup_once() { # file(0|1)
  if [ "$1" = 1 ]; then
    [ -f "$work/clip.avi" ] || ffmpeg -loglevel error -y -f lavfi -i "color=c=0x606060:s=320x240:r=20" \
      -t 10 -c:v mjpeg -q:v 5 "$work/clip.avi"
    echo "Bench camera|file:$work/clip.avi" > "$work/devices.txt"
  else
    camera 30 0
  fi
  local h
  h=$(fresh_home 20 0)
  local t0 line ms pid
  t0=$(now_ns)
  exec 3< <(OCULON_DEVICES=$work/devices.txt exec "$headless" --home "$h" --run-for 2 2>/dev/null)
  pid=$!
  pids+=("$pid")
  while IFS= read -r line <&3; do
    [[ $line == status:* ]] && break
  done
  ms=$((($(now_ns) - t0) / 1000000))
  exec 3<&-
  wait_bounded "$pid" 30
  echo "$ms $(load1)"
}

# The median of column `col` over the runs, the column's values and the loads.
summary() { # col unit results...
  local col=$1 unit=$2
  shift 2
  local values loads median
  values=$(printf '%s\n' "$@" | awk -v c="$col" '{ print $c }' | sort -g | paste -sd' ')
  median=$(printf '%s\n' "$@" | awk -v c="$col" '{ print $c }' | sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
  loads=$(printf '%s\n' "$@" | awk '{ print $3 }' | sort -g | paste -sd' ')
  printf '%s %s (runs: %s; load %s)' "$median" "$unit" "$values" "$loads"
}

echo "| Row | Median | Recorded frames/s (median) |"
echo "|---|---|---|"
for row in "${rows[@]}"; do
  results=()
  case $row in
    watch10) args=(headless 30 0 20 0) ;;
    watch10-gui) args=(gui 30 0 20 0) ;;
    record20 | rss-headless) args=(headless 30 1 20 1) ;;
    record60) args=(headless 60 1 60 1) ;;
    rss-gui) args=(gui 30 1 20 1) ;;
    startup | startup-file)
      file=0
      [ "$row" = startup-file ] && file=1
      for ((i = 0; i < runs; i++)); do results+=("$(startup_once $file)"); done
      # Loads sit in column 2 here: move them to column 3 for the summary.
      mapfile -t results < <(printf '%s\n' "${results[@]}" | awk '{ print $1, "-", $2 }')
      echo "| $row | $(summary 1 ms "${results[@]}") | |"
      continue
      ;;
    *) echo "unknown row: $row" >&2; exit 2 ;;
  esac
  for ((i = 0; i < runs; i++)); do results+=("$(run_once "${args[@]}")"); done
  fps=$(summary 4 "" "${results[@]}" | cut -d' ' -f1)
  case $row in
    rss-*) echo "| $row | $(summary 2 MiB "${results[@]}") | $fps |" ;;
    *) echo "| $row | $(summary 1 '% of one core' "${results[@]}") | $fps |" ;;
  esac
done
