#!/usr/bin/env bash
# Starts the program headless with a fresh home folder and shows what a first start lays out.
set -euo pipefail
build_dir=${1:?usage: demo.sh BUILD_DIR}
bin="$build_dir/bin/plovane"
[ -x "$bin" ] || { echo "No program at $bin; build first." >&2; exit 1; }

demo_home=$(mktemp -d /tmp/plovane-demo-XXXXXX)
mkdir -p "$demo_home/Documents"
echo "Starting: plovane -hide -exit (home folder: $demo_home)"
HOME="$demo_home" XDG_CONFIG_HOME="$demo_home/.config" XDG_DATA_HOME="$demo_home/.local/share" \
  XDG_RUNTIME_DIR="$demo_home/run" QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
  "$bin" -hide -exit

data_root="$demo_home/Documents/Kestrin/Plovane 3"
echo
echo "Data folders laid out under: $data_root"
(cd "$data_root" && find . -type d | sort | sed 's|^\./||; /^\.$/d; s|$|/|')
echo
echo "Options file saved ($data_root/config/options.ini):"
tr -d '\r' < "$data_root/config/options.ini"
echo
echo "Backup beside it: $(ls "$data_root/config/" | tr '\n' ' ')"
