#!/usr/bin/env bash
# Installs, builds and runs Oculon. Without a display it runs the headless
# program for a short demo on a virtual camera instead.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh default
bin=build/default/src/main
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$bin/oculon" "$@"
fi

demo=build/demo
mkdir -p "$demo/home"
# A grey scene in which a white box shows between seconds 10 and 13, after the
# arming countdown has run out.
cat > "$demo/devices.txt" <<'DEVICES'
Demo camera|lavfi:color=c=gray:s=320x240:r=20,noise=alls=8:allf=t,drawbox=x=100:y=80:w=120:h=80:color=white:t=fill:enable='between(t,10,13)'
DEVICES
cat > "$demo/home/oculon.ini" <<'INI'
<VIDEO_SRC>Demo camera</VIDEO_SRC>
CAPTURE_WMV=1
CAPTURE_JPG=1
MOTION_WRM=5
INI
echo "No display: running oculon-headless for 25 s on a virtual camera."
OCULON_DEVICES="$PWD/$demo/devices.txt" "$bin/oculon-headless" --home "$PWD/$demo/home" --run-for 25 \
  | tee "$demo/headless.log"
echo "Output: events in $demo/headless.log, settings in $demo/home/oculon.ini, movies and stills in $demo/home/captured/"
