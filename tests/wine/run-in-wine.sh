#!/usr/bin/env bash
# Runs a Windows program under Wine, in the tests' own Wine prefix, on a private virtual X
# display (24-bit colour, so that pictures read back exactly).
#   run-in-wine.sh <prefix> --init                 creates the prefix and records whether this
#                                                  machine runs 32-bit x86 programs
#   run-in-wine.sh <prefix> <program.exe> [args]   runs the program, exits with its status
#   run-in-wine.sh <prefix> --after <win32|win64> <command> [args]
#                                                  runs a Linux command that checks what the
#                                                  programs of that architecture left behind
# On a machine that cannot run 32-bit x86 programs (probed once, by --init), everything 32-bit
# exits 77, which ctest reports as skipped, with the reason; QUORVEL_REQUIRE_WIN32=1 makes that
# a failure. 64-bit programs start the 64-bit loader directly: Debian's `wine` command starts the
# 32-bit loader first, which such a kernel refuses.
set -uo pipefail

if [ "$#" -lt 2 ]; then
    echo "usage: $0 <prefix> --init | <program.exe> [args...] | --after <arch> <command> [args...]" >&2
    exit 2
fi
prefix="$(realpath -m "$1")"
shift
probe_file="$prefix.win32"
skip_status=77

export LC_ALL=C
export WINEPREFIX="$prefix"
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs, no menu entries written to the user's desktop.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
screen=(-s "-screen 0 1280x1024x24 -nolisten tcp")
wine32=/usr/lib/wine/wine
wine64=/usr/lib/wine/wine64

# The 32-bit loader is the probe's business (tools/probe-machine.sh): where the kernel cannot run
# it, or Debian's archive could not provide it, the 32-bit tests are skipped with that reason.
for tool in "$wine64" wineserver xvfb-run xauth; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "FAIL: '$tool' is not installed; tools/install-deps.sh test installs wine, wine64," \
             "xvfb and xauth" >&2
        exit 1
    fi
done

if [ "$1" = "--init" ]; then
    rm -rf "$prefix" "$probe_file"
    mkdir -p "$(dirname "$prefix")"
    win32="$("$(dirname "$0")/../../tools/probe-machine.sh" win32)"
    probe_status=$?
    if [ "$probe_status" -eq 2 ]; then
        echo "FAIL: $win32" >&2
        exit 1
    fi
    echo "32-bit x86 programs: $win32"
    # The 64-bit loader alone creates the prefix; where 32-bit programs run it adds their part.
    xvfb-run -a "${screen[@]}" sh -c "'$wine64' wineboot --init && wineserver -w"
    status=$?
    if [ "$status" -ne 0 ] || [ ! -f "$prefix/system.reg" ]; then
        echo "FAIL: Wine could not create its prefix at $prefix (wineboot exited $status)" >&2
        exit 1
    fi
    if [ "$probe_status" -eq 0 ] && [ ! -d "$prefix/drive_c/windows/syswow64" ]; then
        echo "FAIL: the prefix at $prefix has no 32-bit part (syswow64); is wine32:i386" \
             "installed?" >&2
        exit 1
    fi
    printf '%s\n' "$win32" >"$probe_file"
    echo "ok: Wine prefix ready at $prefix ($("$wine64" --version))"
    exit 0
fi

# Skips (or, under QUORVEL_REQUIRE_WIN32=1, fails) what needs 32-bit programs where they cannot
# run; goes on otherwise.
check_arch_runs() {
    local arch="$1" win32
    [ "$arch" = win32 ] || return 0
    if [ ! -f "$probe_file" ]; then
        echo "FAIL: no probe result at $probe_file (the wine_prefix test writes it)" >&2
        exit 1
    fi
    win32="$(cat "$probe_file")"
    [ "$win32" = yes ] && return 0
    if [ "${QUORVEL_REQUIRE_WIN32:-}" = 1 ]; then
        echo "FAIL: QUORVEL_REQUIRE_WIN32=1, but ${win32#no: }" >&2
        exit 1
    fi
    echo "SKIPPED: ${win32#no: }; the 32-bit DLL's runtime tests are skipped"
    exit "$skip_status"
}

if [ "$1" = "--after" ]; then
    check_arch_runs "$2"
    shift 2
    exec "$@"
fi

program="$1"
if [ ! -f "$program" ]; then
    echo "FAIL: $program does not exist (build it with tools/build.sh)" >&2
    exit 1
fi
if [ ! -f "$prefix/system.reg" ]; then
    echo "FAIL: no Wine prefix at $prefix (the wine_prefix test creates it)" >&2
    exit 1
fi
# The machine field of the PE header (at the offset stored at 0x3c, after "PE\0\0").
pe_offset=$(od -An -tu4 -j60 -N4 "$program" | tr -d ' ')
machine=$(od -An -tx2 -j$((pe_offset + 4)) -N2 "$program" | tr -d ' ')
case "$machine" in
014c) arch=win32 loader="$wine32" ;;
8664) arch=win64 loader="$wine64" ;;
*)
    echo "FAIL: $program is not a 32-bit or 64-bit x86 Windows program (machine '$machine')" >&2
    exit 1
    ;;
esac
check_arch_runs "$arch"

# The program's status is kept; the prefix's server is stopped before the display goes away.
xvfb-run -a "${screen[@]}" sh -c '"$@"; status=$?; wineserver -k; exit $status' sh "$loader" "$@"
status=$?
if [ "$status" -ne 0 ]; then
    echo "FAIL: $(basename "$program") $* exited with status $status" >&2
fi
exit "$status"
