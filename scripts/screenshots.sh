#!/bin/sh
# Renders each page of the main window, and the options dialog, to PNG files under Xvfb, for a
# person to look at.
# Usage: scripts/screenshots.sh [OUTPUT_FOLDER]   (default: build/dev/screenshots)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/dev"
out=${1:-"$build/screenshots"}
if ! command -v xvfb-run >/dev/null 2>&1; then
    echo "xvfb-run is missing: apt-get install -y xvfb" >&2
    exit 1
fi
cmake --build "$build" -j2 --target plovane_ui_screenshots plovane_ui_options_screenshots
mkdir -p "$out"
QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0 \
    xvfb-run -a -s "-screen 0 1280x900x24" "$build/tests/plovane_ui_screenshots" "$out"
QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0 \
    xvfb-run -a -s "-screen 0 1280x900x24" "$build/tests/plovane_ui_options_screenshots" "$out"
cmake --build "$build" -j2 --target plovane_property_page_screenshots
QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0 \
    xvfb-run -a -s "-screen 0 1280x900x24" "$build/tests/plovane_property_page_screenshots" "$out"
