#!/bin/sh
# Runs the test suite of one built preset with the sanitizer options that preset needs. The one
# place those options are defined: `make test` and scripts/sanitize.sh both come here.
#   scripts/test-suite.sh PRESET [JOBS]
# Any sanitizer report fails its test.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
preset=${1:?usage: test-suite.sh PRESET [JOBS]}
jobs=${2:-2}
timeout=300
case $preset in
  dev)
    # AddressSanitizer with leak reports (what our code leaks; the leaks of libraries that are
    # not ours are in lsan.supp, each with its reason) and UndefinedBehaviorSanitizer.
    set -- "ASAN_OPTIONS=detect_leaks=1" \
      "LSAN_OPTIONS=suppressions=$root/scripts/sanitizers/lsan.supp:print_suppressions=0" \
      "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1" ;;
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
    set -- "TSAN_OPTIONS=suppressions=$root/scripts/sanitizers/tsan.supp:ignore_noninstrumented_modules=1:intercept_tls_get_addr=0:second_deadlock_stack=1:halt_on_error=1"
    # Everything runs several times slower under the thread sanitizer.
    timeout=900 ;;
  *)
    set -- ;;
esac
[ -d "$root/build/$preset" ] || { echo "build/$preset is not built" >&2; exit 1; }
cd "$root/build/$preset"
exec env "$@" QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" --timeout "$timeout"
