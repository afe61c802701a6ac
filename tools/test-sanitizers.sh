#!/usr/bin/env bash
# The native tests again, under the sanitizers: the `asan` preset (AddressSanitizer with
# LeakSanitizer and UndefinedBehaviorSanitizer, nothing recovers) and the `tsan` preset
# (ThreadSanitizer). Each is configured, built and run through ctest in build/<preset>; any
# report fails its test and so this script. The tests that need the Windows builds (Wine, the
# DLL checks) and those of the packages (made from the plain builds) are left out. The stress tests run for QUORVEL_STRESS_SECONDS each (default 2,
# 4 under ThreadSanitizer). Both presets run even when one fails; the last line gives the counts
# of both ("== result: ..."), and the exit status is non-zero if either failed.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
jobs="${QUORVEL_JOBS:-$(nproc)}"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:${TSAN_OPTIONS:-}"

started=$(date +%s)
failed_presets=()
counts=()
for preset in asan tsan; do
    echo "== sanitizer tests: $preset"
    phase=$(date +%s)
    junit="build/$preset/ctest-junit.xml"
    rm -f "$junit"
    if ! cmake --preset "$preset" >/dev/null || ! cmake --build "build/$preset" -j "$jobs"; then
        echo "== sanitizer tests: $preset FAILED: the build failed"
        failed_presets+=("$preset")
        counts+=("$preset: not built")
        continue
    fi
    # The lifecycle test is single-threaded: under ThreadSanitizer a hundred cycles will do,
    # and the stress tests get longer there (making instances is slow under it).
    cycles="${QUORVEL_LIFECYCLE_CYCLES:-2000}"
    stress="${QUORVEL_STRESS_SECONDS:-2}"
    if [ "$preset" = tsan ]; then
        cycles="${QUORVEL_LIFECYCLE_CYCLES:-100}"
        stress="${QUORVEL_STRESS_SECONDS:-4}"
    fi
    QUORVEL_LIFECYCLE_CYCLES="$cycles" QUORVEL_STRESS_SECONDS="$stress" \
        ctest --test-dir "build/$preset" --output-on-failure -j "$jobs" -LE wine -E 'wine|dll_|package_' \
        --output-junit "$root/$junit"
    status=$?
    summary="$(tools/ctest-summary.sh "$junit")"
    printf '%s\n' "$summary" | sed -n '2,$p' | sed "s/^  skipped \([0-9]*\):/  skipped \1 under $preset:/"
    counts+=("$preset: $(printf '%s\n' "$summary" | head -n 1)")
    if [ "$status" -ne 0 ]; then
        echo "== sanitizer tests: $preset FAILED in $(($(date +%s) - phase)) s"
        failed_presets+=("$preset")
    else
        echo "== sanitizer tests: $preset passed in $(($(date +%s) - phase)) s"
    fi
done
detail="$(printf '%s; ' "${counts[@]}")"
detail="${detail%; }"
echo "== sanitizer tests: done in $(($(date +%s) - started)) s"
if [ "${#failed_presets[@]}" -ne 0 ]; then
    echo "== result: FAILED: $detail"
    exit 1
fi
echo "== result: passed: $detail"
