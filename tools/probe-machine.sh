#!/usr/bin/env bash
# What this machine can run of the tests: 32-bit x86 programs (the 32-bit DLL under Wine) and
# AVX2 (the AVX2 level of the audio path).
#   probe-machine.sh win32   prints "yes", or "no: <reason>" and exits 1
#   probe-machine.sh avx2    the same for AVX2
#   probe-machine.sh         one line for both, for the start of a test run
#   probe-machine.sh kernel32  exits 0 if the kernel runs 32-bit x86 programs (no Wine needed)
# Exit status 2: the probe itself failed (the 32-bit Wine loader is missing for no known reason,
# or broken), which is a fault to mend, not a reason to skip. Where tools/install-deps.sh found
# that Debian's archive could not provide 32-bit Wine (build/deps-unavailable), the answer is
# "no" with that reason.
#   QUORVEL_PRETEND_NO_WIN32=1   answer "no" for 32-bit programs (to try the skip path)
#   QUORVEL_PRETEND_NO_AVX2=1    answer "no" for AVX2
set -uo pipefail
export LC_ALL=C

root="$(cd "$(dirname "$0")/.." && pwd)"
# Debian's 32-bit Wine loader (wine32:i386).
loader32=/usr/lib/wine/wine
unavailable="$root/build/deps-unavailable"

# Asks the kernel itself: a 93-byte static i386 program that only calls exit(0).
probe_kernel32() {
    local dir status
    dir="$(mktemp -d "${TMPDIR:-/tmp}/quorvel-probe.XXXXXX")" || return 2
    printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0''\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10''\135\0\0\0\135\0\0\0\5\0\0\0\0\20\0\0\270\1\0\0\0\61\333\315\200' >"$dir/exit32"
    chmod +x "$dir/exit32"
    "$dir/exit32" 2>/dev/null
    status=$?
    rm -rf "$dir"
    return "$status"
}

probe_win32() {
    if [ "${QUORVEL_PRETEND_NO_WIN32:-}" = 1 ]; then
        echo "no: this machine cannot run 32-bit x86 programs (pretended: QUORVEL_PRETEND_NO_WIN32=1)"
        return 1
    fi
    if ! probe_kernel32; then
        echo "no: this machine cannot run 32-bit x86 programs (the kernel refuses them: Exec format error)"
        return 1
    fi
    if [ ! -f "$loader32" ]; then
        if [ -f "$unavailable" ] && grep -q '^wine32:i386: ' "$unavailable"; then
            echo "no: $(sed -n 's/^wine32:i386: //p' "$unavailable"), so the 32-bit DLL cannot run under Wine"
            return 1
        fi
        echo "unknown: the 32-bit Wine loader $loader32 is missing (tools/install-deps.sh test installs wine32:i386)"
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
kernel32) probe_kernel32 ;;
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
    echo "usage: $0 [win32|avx2|kernel32]" >&2
    exit 2
    ;;
esac
