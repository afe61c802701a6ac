#!/usr/bin/env bash
# What this machine can run of the tests: 32-bit x86 programs (the 32-bit DLL under Wine) and
# AVX2 (the AVX2 level of the audio path).
#   probe-machine.sh win32   prints "yes", or "no: <reason>" and exits 1
#   probe-machine.sh avx2    the same for AVX2
#   probe-machine.sh         one line for both, for the start of a test run
# Exit status 2: the probe itself failed (the 32-bit Wine loader is missing or broken), which is
# a fault to mend, not a reason to skip.
#   QUORVEL_PRETEND_NO_WIN32=1   answer "no" for 32-bit programs (to try the skip path)
#   QUORVEL_PRETEND_NO_AVX2=1    answer "no" for AVX2
set -uo pipefail
export LC_ALL=C

# Debian's 32-bit Wine loader (wine32:i386): a 32-bit x86 program that every test run needs.
loader32=/usr/lib/wine/wine

probe_win32() {
    if [ "${QUORVEL_PRETEND_NO_WIN32:-}" = 1 ]; then
        echo "no: this machine cannot run 32-bit x86 programs (pretended: QUORVEL_PRETEND_NO_WIN32=1)"
        return 1
    fi
    if [ ! -f "$loader32" ]; then
        echo "unknown: the 32-bit Wine loader $loader32 is missing (tools/install-deps.sh installs wine32:i386)"
        return 2
    fi
    local output status
    output="$("$loader32" --version 2>&1)"
    status=$?
    if [ "$status" -eq 0 ]; then
        echo "yes"
        return 0
    fi
    # The kernel refuses 32-bit programs outright (no IA-32 emulation): the shell reports the
    # loader's exec as an "Exec format error".
    if printf '%s' "$output" | grep -q 'Exec format error'; then
        echo "no: this machine cannot run 32-bit x86 programs (the kernel refuses them: Exec format error)"
        return 1
    fi
    echo "unknown: the 32-bit Wine loader failed (status $status): $output"
    return 2
}

probe_avx2() {
    if [ "${QUORVEL_PRETEND_NO_AVX2:-}" = 1 ]; then
        echo "no: this processor has no AVX2 (pretended: QUORVEL_PRETEND_NO_AVX2=1)"
        return 1
    fi
    # The kernel lists avx2 only when the processor has it and saves its registers.
    if grep -qw avx2 /proc/cpuinfo 2>/dev/null; then
        echo "yes"
        return 0
    fi
    echo "no: this processor has no AVX2"
    return 1
}

case "${1:-}" in
win32) probe_win32 ;;
avx2) probe_avx2 ;;
"")
    win32="$(probe_win32)"
    win32_status=$?
    avx2="$(probe_avx2)"
    echo "32-bit x86 programs: $win32"
    echo "AVX2: $avx2"
    [ "$win32_status" -ne 2 ]
    ;;
*)
    echo "usage: $0 [win32|avx2]" >&2
    exit 2
    ;;
esac
