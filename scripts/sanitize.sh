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
    dev)
      sanitizers="ASAN_OPTIONS=detect_leaks=1
LSAN_OPTIONS=suppressions=$root/scripts/sanitizers/lsan.supp:print_suppressions=0
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1" ;;
    tsan)
      # Qt and glibc are not built with ThreadSanitizer: their own locks (futexes, atomics) are
      # invisible to it, so every object they allocate on one thread and free on another (Qt's
      # pooled threads, posted events, glibc's time zone set-up under its internal lock) would
      # report. ignore_noninstrumented_modules ignores the memory accesses of interceptors
      # (malloc, free, memcpy) called from such libraries; every access of our own code and every
      # pthread synchronisation is still tracked.
      # intercept_tls_get_addr=0: the runtime of GCC 12 takes some glibc 2.36 dynamic TLS blocks
      # for the glibc 2.19 layout, computes a negative size and dies mapping its shadow ("failed
      # to allocate 0xfffffffb..."), at random, in threads of programs that load plugins with
      # thread-local data. Without the interception it only loses the clean-up of such blocks.
      sanitizers="TSAN_OPTIONS=suppressions=$root/scripts/sanitizers/tsan.supp:ignore_noninstrumented_modules=1:intercept_tls_get_addr=0:second_deadlock_stack=1:halt_on_error=1" ;;
    *)
      echo "unknown preset $preset (dev or tsan)" >&2
      exit 64 ;;
  esac
  echo "== $preset: build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: test suite"
  # shellcheck disable=SC2086
  if ! (cd "build/$preset" && env $sanitizers QT_QPA_PLATFORM=offscreen \
        ctest --output-on-failure -j "$jobs" --timeout 900); then
    status=1
  fi
done
exit $status
