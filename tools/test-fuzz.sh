#!/usr/bin/env bash
# Bounded fuzz runs: builds the libFuzzer targets with the `fuzz` preset (clang-14, ASan and
# UBSan) in build/fuzz, then runs each for a fixed number of inputs, starting from its committed
# corpus in fuzz/corpus/<target>. New inputs go to build/fuzz/corpus/<target>, crashes to
# build/fuzz/artifacts/. Any crash, sanitizer report, failed invariant, leak or timeout fails.
#   QUORVEL_FUZZ_RUNS   inputs per target (default: 1500 for the dispatcher, whose inputs each
#                       make instances, 3000 for the audio path and the editor)
#   QUORVEL_FUZZ_SEED   the fuzzer's random seed (default 1: the same inputs on every run)
# Every target runs even when one fails; the last line gives the counts ("== result: ...") and
# the exit status is non-zero if any failed.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
jobs="${QUORVEL_JOBS:-$(nproc)}"
seed="${QUORVEL_FUZZ_SEED:-1}"
targets=(dispatcher audio editor_mouse)
declare -A default_runs=([dispatcher]=1500 [audio]=3000 [editor_mouse]=3000)

started=$(date +%s)
echo "== fuzz: building"
if ! cmake --preset fuzz >/dev/null ||
    ! cmake --build build/fuzz -j "$jobs" --target "${targets[@]/#/quorvel_fuzz_}"; then
    echo "== result: FAILED: the fuzz targets did not build (0 passed, ${#targets[@]} failed, 0 skipped)"
    exit 1
fi

export ASAN_OPTIONS="detect_leaks=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
mkdir -p build/fuzz/artifacts
passed=0
failed=()
for target in "${targets[@]}"; do
    corpus="build/fuzz/corpus/$target"
    log="build/fuzz/$target.log"
    mkdir -p "$corpus"
    runs="${QUORVEL_FUZZ_RUNS:-${default_runs[$target]}}"
    phase=$(date +%s)
    if ! "build/fuzz/fuzz/quorvel_fuzz_$target" -runs="$runs" -seed="$seed" -max_len=1024 \
        -len_control=0 -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="build/fuzz/artifacts/$target-" \
        "$corpus" "fuzz/corpus/$target" >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "== fuzz $target: FAILED (seed $seed; crash input in build/fuzz/artifacts/)"
        failed+=("$target")
        continue
    fi
    executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "== fuzz $target: ${executed:-?} executions, 0 failures, $(($(date +%s) - phase)) s (seed $seed)"
    passed=$((passed + 1))
done
echo "== fuzz: done in $(($(date +%s) - started)) s"
detail="$passed passed, ${#failed[@]} failed, 0 skipped (targets)"
if [ "${#failed[@]}" -ne 0 ]; then
    echo "== result: FAILED: $detail: ${failed[*]}"
    exit 1
fi
echo "== result: passed: $detail"
