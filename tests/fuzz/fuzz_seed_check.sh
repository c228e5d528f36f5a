#!/bin/sh
# The seed-corpus check of one fuzz target: every seed through the entry point by the plain
# driver (any build), then, when the fuzz preset's libFuzzer binary has been built, a short
# fuzzing run from the seeds with a fixed seed and number of runs.
#   fuzz_seed_check.sh SEED_DRIVER FUZZER_BINARY SEED_FOLDER...
set -eu
driver=$1
fuzzer=$2
shift 2
"$driver" "$@"
if [ -x "$fuzzer" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  # New inputs go to a scratch folder; the seed folders stay as they are.
  ASAN_OPTIONS=detect_leaks=0 "$fuzzer" -seed=1 -runs=4000 -max_len=2048 -timeout=20 \
    "$work" "$@"
else
  echo "no libFuzzer build at $fuzzer (scripts/fuzz.sh builds it): seeds only"
fi
