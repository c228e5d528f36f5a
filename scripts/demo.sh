#!/usr/bin/env bash
# Runs the shipped demo project with plovane-run on a fresh data root and shows the results.
set -euo pipefail
build_dir=${1:?usage: demo.sh BUILD_DIR}
bin="$build_dir/bin"
[ -x "$bin/plovane-run" ] || { echo "No program in $bin; build first." >&2; exit 1; }

data_root=$(mktemp -d /tmp/plovane-demo-XXXXXX)
# The demo works on its own folders below the data folder, outside the temp folders that
# "human safe mode" allows, so the fresh options switch that mode off.
mkdir -p "$data_root/config"
printf '[ProgramOptions.Security]\r\nHumanSafeMode=0\r\n' > "$data_root/config/options.ini"

export QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
# The data root is seeded from the program folder at start, demos included.
project="$data_root/data/demos/website/website.plv"
output="$data_root/data/demos/website/output"
# plovane-run answers "no" to "create the work directory?", so the demo makes it first.
mkdir -p "$output"
echo "Plugins available:"
"$bin/plovane-run" --data-root "$data_root" --list-plugins | cut -f1,2 | sed 's/^/  /'
echo
echo "Running: plovane-run --data-root $data_root $project"
"$bin/plovane-run" --data-root "$data_root" "$project" || status=$?
echo
echo "Input (unchanged):  $data_root/data/demos/website/site"
echo "Output of the batch: $output"
(cd "$output" && find . -type f | sort | sed 's|^\./|  |')
echo
echo "Batch logs:         $data_root/logs/batches/"
exit "${status:-0}"
