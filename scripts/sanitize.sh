#!/bin/sh
# Runs the whole test suite under the sanitizer builds: dev (AddressSanitizer, reporting leaks,
# and UndefinedBehaviorSanitizer) and tsan (ThreadSanitizer). Any report fails its test, so the
# run passes only when no sanitizer reported anything.
#   scripts/sanitize.sh [dev] [tsan]      (both when none is named)
# JOBS sets the parallel jobs (2 by default); the tsan suite is slow, run it niced on a shared
# machine: nice -n 19 scripts/sanitize.sh tsan
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
presets=${*:-dev tsan}
jobs=${JOBS:-2}
cd "$root"
status=0
for preset in $presets; do
  case $preset in
    dev | tsan) ;;
    *)
      echo "unknown preset $preset (dev or tsan)" >&2
      exit 64 ;;
  esac
  echo "== $preset: build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: test suite"
  if ! "$root/scripts/test-suite.sh" "$preset" "$jobs"; then
    status=1
  fi
done
exit $status
