#!/usr/bin/env bash
# The native tests again, under the sanitizers: the `asan` preset (AddressSanitizer with
# LeakSanitizer and UndefinedBehaviorSanitizer, nothing recovers) and the `tsan` preset
# (ThreadSanitizer). Each is configured, built and run through ctest in build/<preset>; any
# report fails its test and so this script. The tests that need the Windows builds (Wine, the
# DLL checks) are left out. The stress tests run for QUORVEL_STRESS_SECONDS each (default 2,
# 4 under ThreadSanitizer).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
jobs="${QUORVEL_JOBS:-$(nproc)}"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:${TSAN_OPTIONS:-}"

started=$(date +%s)
for preset in asan tsan; do
    echo "== sanitizer tests: $preset"
    phase=$(date +%s)
    cmake --preset "$preset" >/dev/null
    cmake --build "build/$preset" -j "$jobs"
    # The lifecycle test is single-threaded: under ThreadSanitizer a hundred cycles will do,
    # and the stress tests get longer there (making instances is slow under it).
    cycles="${QUORVEL_LIFECYCLE_CYCLES:-2000}"
    stress="${QUORVEL_STRESS_SECONDS:-2}"
    if [ "$preset" = tsan ]; then
        cycles="${QUORVEL_LIFECYCLE_CYCLES:-100}"
        stress="${QUORVEL_STRESS_SECONDS:-4}"
    fi
    QUORVEL_LIFECYCLE_CYCLES="$cycles" QUORVEL_STRESS_SECONDS="$stress" \
        ctest --test-dir "build/$preset" --output-on-failure -j "$jobs" -LE wine -E 'wine|dll_'
    echo "== sanitizer tests: $preset passed in $(($(date +%s) - phase)) s"
done
echo "== sanitizer tests: all passed in $(($(date +%s) - started)) s"
