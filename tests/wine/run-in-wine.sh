#!/usr/bin/env bash
# Runs a Windows program under Wine, in the tests' own Wine prefix, on a private virtual X
# display (24-bit colour, so that pictures read back exactly).
#   run-in-wine.sh <prefix> --init                 creates the prefix (64-bit, runs 32-bit too)
#   run-in-wine.sh <prefix> <program.exe> [args]   runs the program, exits with its status
set -uo pipefail

if [ "$#" -lt 2 ]; then
    echo "usage: $0 <prefix> --init | <program.exe> [args...]" >&2
    exit 2
fi
prefix="$(realpath -m "$1")"
shift

export WINEPREFIX="$prefix"
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs, no menu entries written to the user's desktop.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
screen=(-s "-screen 0 1280x1024x24 -nolisten tcp")

for tool in wine wineboot wineserver xvfb-run xauth; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "FAIL: '$tool' is not installed; tools/install-deps.sh installs wine, wine32:i386," \
             "wine64, xvfb and xauth" >&2
        exit 1
    fi
done

if [ "$1" = "--init" ]; then
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    xvfb-run -a "${screen[@]}" sh -c 'wineboot --init && wineserver -w'
    status=$?
    if [ "$status" -ne 0 ] || [ ! -f "$prefix/system.reg" ]; then
        echo "FAIL: Wine could not create its prefix at $prefix (wineboot exited $status)" >&2
        exit 1
    fi
    if [ ! -d "$prefix/drive_c/windows/syswow64" ]; then
        echo "FAIL: the prefix at $prefix has no 32-bit part (syswow64); is wine32:i386" \
             "installed?" >&2
        exit 1
    fi
    echo "ok: Wine prefix ready at $prefix ($(wine --version))"
    exit 0
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
# The program's status is kept; the prefix's server is stopped before the display goes away.
xvfb-run -a "${screen[@]}" sh -c 'wine "$@"; status=$?; wineserver -k; exit $status' sh "$@"
status=$?
if [ "$status" -ne 0 ]; then
    echo "FAIL: $(basename "$program") $* exited with status $status" >&2
fi
exit "$status"
