#!/usr/bin/env bash
# Where oculon-headless's resident memory lies near the end of a run: its own
# anonymous memory (heap, stacks, the encoder's frames), the pages of FFmpeg's
# libraries, of the libraries only they bring in (codecs and formats Debian
# builds FFmpeg with), and of the program with the other libraries it names.
# Installs nothing: needs ffmpeg and oculon-headless built.
#
# The camera is FFmpeg's moving test picture, 320 x 240 MJPEG at 20 frames a
# second, made here; Oculon watches at 10 fps and records at 20 while it moves.
#
# usage: bench/memory_split.sh [-b BUILD] [-s SECONDS] [-f FORMAT]
#   BUILD    build folder holding src/main/oculon-headless (default build/default)
#   SECONDS  how long the program runs before its memory is read (default 10)
#   FORMAT   MOVIE_FORMAT of the recording: 0 = WMV, 1 = MP4 (default 1)
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/default
seconds=10
format=1
while getopts b:s:f: opt; do
  case $opt in
    b) build=$OPTARG ;;
    s) seconds=$OPTARG ;;
    f) format=$OPTARG ;;
    *) sed -n '2,14p' "$0"; exit 2 ;;
  esac
done
[[ $build == /* ]] || build=$PWD/$build
headless=$build/src/main/oculon-headless
[ -x "$headless" ] || { echo "no $headless: build first" >&2; exit 1; }

work=$(mktemp -d -t oculon-memory-XXXXXX)
pid=
trap 'if [ -n "$pid" ]; then kill "$pid" 2> /dev/null; fi; rm -rf "$work"' EXIT

ffmpeg -loglevel error -y -f lavfi -i "testsrc2=s=320x240:r=20" -t $((seconds + 10)) \
  -c:v mjpeg -q:v 5 "$work/moving.avi"
mkdir -p "$work/home"
echo "Test picture|file:$work/moving.avi" > "$work/devices.txt"
cat > "$work/home/oculon.ini" <<INI
<VIDEO_SRC>Test picture</VIDEO_SRC>
MOTION_FPS=10
MOTION_WRM=1
CAPTURE_FPS=20
CAPTURE_WMV=1
CAPTURE_JPG=0
[RECORDING]
MOVIE_FORMAT=$format
INI

# The libraries FFmpeg's own bring in, and those the program's other libraries
# bring in, by real path as the memory map names them; a library in both
# counts as the program's.
needed() { readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'; }
closure() { # library soname: its path and its libraries' paths
  local path
  path=$(ldconfig -p | awk -v l="$1" '$1 == l && !found { print $NF; found = 1 }')
  { echo "$path"; ldd "$path" | awk '$2 == "=>" && $3 ~ /^\// { print $3 }'; } | xargs readlink -f
}
: > "$work/ffmpeg.txt"
: > "$work/own.txt"
for lib in $(needed "$headless"); do
  case $lib in
    libav* | libsw*) closure "$lib" >> "$work/ffmpeg.txt" ;;
    *) closure "$lib" >> "$work/own.txt" ;;
  esac
done

SDL_AUDIODRIVER=dummy OCULON_DEVICES=$work/devices.txt \
  "$headless" --home "$work/home" > "$work/out.txt" 2>&1 &
pid=$!
sleep "$seconds"
kill -0 "$pid" 2> /dev/null || { echo "oculon-headless ended early:" >&2; cat "$work/out.txt" >&2; exit 1; }
cp "/proc/$pid/smaps" "$work/smaps"
hwm=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status")
kill -INT "$pid"
wait "$pid" || true
pid=

awk -v hwm="$hwm" -v own_list="$work/own.txt" -v ffmpeg_list="$work/ffmpeg.txt" '
  FILENAME == own_list { own[$1] = 1; next }
  FILENAME == ffmpeg_list { dep[$1] = 1; next }
  /^[0-9a-f]+-[0-9a-f]+ / { name = $6; n = split(name, part, "/"); base = part[n]; next }
  /^Rss:/ {
    if (name !~ /^\//) group = 1
    else if (base ~ /^lib(av|sw)/) group = 2
    else if ((name in dep) && !(name in own)) group = 3
    else group = 4
    kb[group] += $2; total += $2
    if (name ~ /^\// && !(name in seen)) { seen[name] = 1; files[group]++ }
  }
  END {
    label[1] = "anonymous (heap, stacks, the encoder'"'"'s frames)"
    label[2] = "FFmpeg'"'"'s libraries"
    label[3] = "libraries only FFmpeg'"'"'s bring in (libx264 among them)"
    label[4] = "the program and the other libraries it names, with theirs"
    printf "| Part | Resident | Files |\n|---|---|---|\n"
    for (g = 1; g <= 4; g++)
      printf "| %s | %.1f MB | %s |\n", label[g], kb[g] / 1024, files[g] ? files[g] : "–"
    printf "| all | %.1f MB (peak %.1f MB) | |\n", total / 1024, hwm / 1024
  }' "$work/own.txt" "$work/ffmpeg.txt" "$work/smaps"
