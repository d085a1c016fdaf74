#!/usr/bin/env bash
# Draws the documentation's pictures of the windows into docs/screenshots: the
# setup pages, the version check and the help window, as the GUI tests show
# them. Under Xvfb when it is installed (a real X server with the desktop's
# fonts), else on Qt's offscreen platform. The main window's picture with a
# live camera is taken by hand.
#   scripts/screenshots.sh [preset] [gtest filter]
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
filter=${2:-'SetupLayout.*:MainWindowTest.HelpEntries*'}
ninja -C "build/$preset" gui_tests
export OCULON_SCREENSHOT_DIR="$PWD/docs/screenshots"
export LC_ALL=C.UTF-8
run=("build/$preset/tests/gui_tests" "--gtest_filter=$filter")
if command -v xvfb-run >/dev/null; then
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" "${run[@]}"
else
    QT_QPA_PLATFORM=offscreen "${run[@]}"
fi
