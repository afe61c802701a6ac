#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
# the native tests (unit, bit-exact audio, editor through the offscreen window system, the real DLLs under
# Wine), then the sanitizer builds and the bounded fuzz runs.
# Every stage runs even when an earlier one failed; the run ends with one summary, a line per
# stage with its counts, and exits non-zero if any stage failed. What this machine cannot run
# (32-bit x86 programs, AVX2) is said at the start and counted as skipped, never as passed:
#   QUORVEL_REQUIRE_WIN32=1, QUORVEL_REQUIRE_AVX2=1   such a skip fails instead (release machines)
#   QUORVEL_PRETEND_NO_WIN32=1, QUORVEL_PRETEND_NO_AVX2=1
#                                                     act as if the machine could not run them
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

if ! tools/install-deps.sh test; then
    echo "== FAILED: tools/install-deps.sh could not install what the tests need"
    exit 1
fi

stages=()
results=()
skips=()
notes=()
failures=0
record() { # <stage> <passed|FAILED> <detail>
    stages+=("$1")
    results+=("$2: $3")
    if [ "$2" != passed ]; then
        failures=$((failures + 1))
    fi
}

echo "== this machine"
machine="$(tools/probe-machine.sh)"
probe_status=$?
printf '%s\n' "$machine" | sed 's/^/   /'
machine_line="$(printf '%s' "$machine" | tr '\n' ';' | sed 's/;/; /g')"
if [ "$probe_status" -ne 0 ]; then
    record "machine probe" FAILED "the probe itself failed (see above)"
fi
if ! printf '%s\n' "$machine" | grep -qx '32-bit x86 programs: yes'; then
    if [ "${QUORVEL_REQUIRE_WIN32:-}" = 1 ]; then
        notes+=("the 32-bit DLL's runtime tests under Wine will FAIL: QUORVEL_REQUIRE_WIN32=1")
    else
        notes+=("the 32-bit DLL's runtime tests under Wine are skipped (its file checks still run)")
    fi
fi
if ! printf '%s\n' "$machine" | grep -qx 'AVX2: yes'; then
    if [ "${QUORVEL_REQUIRE_AVX2:-}" = 1 ]; then
        notes+=("the AVX2 level's tests will FAIL: QUORVEL_REQUIRE_AVX2=1")
    else
        notes+=("the AVX2 level's tests are skipped")
    fi
fi
for note in "${notes[@]}"; do
    echo "   $note"
done

echo "== build"
if tools/build.sh; then
    record build passed "3 builds"
    built=1
else
    record build FAILED "tools/build.sh failed"
    built=0
fi

echo "== native tests"
junit="$root/build/native/ctest-junit.xml"
rm -f "$junit"
if [ "$built" -eq 1 ]; then
    ctest --test-dir build/native --output-on-failure -j "${QUORVEL_JOBS:-$(nproc)}" \
        --output-junit "$junit"
    status=$?
    summary="$(tools/ctest-summary.sh "$junit")"
    printf '%s\n' "$summary" | sed -n '2,$p'
    while read -r line; do skips+=("native tests: $line"); done < <(printf '%s\n' "$summary" | sed -n '2,$p')
    if [ "$status" -eq 0 ]; then
        record "native tests" passed "$(printf '%s\n' "$summary" | head -n 1)"
    else
        record "native tests" FAILED "$(printf '%s\n' "$summary" | head -n 1)"
    fi
else
    record "native tests" FAILED "not run: the build failed"
fi

# The stage scripts end with "== result: <passed|FAILED>: <counts>".
for stage in sanitizers:tools/test-sanitizers.sh fuzz:tools/test-fuzz.sh; do
    name="${stage%%:*}"
    script="${stage#*:}"
    if [ ! -f "$script" ] || [ ! -x "$script" ]; then
        record "$name" FAILED "$script is missing or not executable"
        continue
    fi
    log="$(mktemp)"
    "$script" 2>&1 | tee "$log"
    status=${PIPESTATUS[0]}
    detail="$(sed -n 's/^== result: [A-Za-z]*: //p' "$log" | tail -n 1)"
    while read -r line; do skips+=("$name: $line"); done < <(grep -E '^  skipped [0-9]+' "$log")
    rm -f "$log"
    if [ "$status" -eq 0 ]; then
        record "$name" passed "${detail:-no counts reported}"
    else
        record "$name" FAILED "${detail:-$script exited with status $status}"
    fi
done

echo "== summary"
echo "   machine: $machine_line"
for note in "${notes[@]}"; do
    echo "   $note"
done
for i in "${!stages[@]}"; do
    printf '   %-14s %s\n' "${stages[$i]}" "${results[$i]}"
done
for line in "${skips[@]}"; do
    echo "   $line"
done
if [ "$failures" -ne 0 ]; then
    echo "== FAILED: $failures stage(s) failed"
    exit 1
fi
echo "== all stages passed"
