#!/bin/sh
# Runs one libFuzzer target of the fuzz preset (clang, AddressSanitizer, UndefinedBehavior-
# Sanitizer) for a while, building it first:
#   scripts/fuzz.sh TARGET SECONDS
# TARGET is a folder of tests/fuzz/corpus/: module_config, project_file, ini_document,
# text_encoding, property_values, path_filter, web_page_optimizer, shell_words, zip_entry_name,
# mime_message. The seeds stay as they are;
# new inputs go to build/fuzz/corpus/TARGET (kept for the next run) and findings (the input
# that crashed, leaked or broke a check) to build/fuzz/findings/TARGET/. Ends with libFuzzer's
# final statistics (executions, coverage); the exit code is 0 when nothing was found.
set -eu
usage="usage: scripts/fuzz.sh TARGET SECONDS"
target=${1:?$usage}
seconds=${2:?$usage}
root=$(cd "$(dirname "$0")/.." && pwd)
seeds=$root/tests/fuzz/corpus/$target
if [ ! -d "$seeds" ]; then
  echo "no seed corpus $seeds" >&2
  echo "$usage" >&2
  exit 64
fi
cd "$root"
[ -f build/fuzz/build.ninja ] || cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${target}_fuzzer"
work=$root/build/fuzz/corpus/$target
findings=$root/build/fuzz/findings/$target
mkdir -p "$work" "$findings"
# The web page optimizer also starts from the test suite's sample pages.
extra=
[ "$target" = web_page_optimizer ] && extra=$root/tests/data/web_pages
# Leaks are reported; the fixtures made once per process are reachable and do not count. The
# time limit per input is generous: on a busy shared machine a slow unit is no finding.
# shellcheck disable=SC2086
UBSAN_OPTIONS=print_stacktrace=1 QT_QPA_PLATFORM=offscreen \
  "$root/build/fuzz/fuzz/${target}_fuzzer" -max_total_time="$seconds" -max_len=4096 \
  -timeout=60 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" \
  "$work" "$seeds" $extra
