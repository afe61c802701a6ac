#!/usr/bin/env bash
# Checks a built Windows DLL with objdump: its machine, that its export table holds exactly
# the expected names, and that it imports system DLLs only.
#   check-dll.sh <dll> <pei-i386|pei-x86-64> <export>...
set -euo pipefail
# Byte order for sort and tr, whatever the user's locale.
export LC_ALL=C
dll="$1"
format="$2"
shift 2
expected_exports="$(printf '%s\n' "$@" | sort)"

if [ ! -f "$dll" ]; then
    echo "FAIL: $dll does not exist (build it with tools/build.sh)" >&2
    exit 1
fi
dump="$(objdump -p "$dll")"

actual_format="$(objdump -f "$dll" | sed -n 's/.*file format \(.*\)$/\1/p')"
if [ "$actual_format" != "$format" ]; then
    echo "FAIL: file format is '$actual_format', expected '$format'" >&2
    exit 1
fi

exports="$(printf '%s\n' "$dump" |
    sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^\s*\[ *[0-9]*\] \(.*\)$/\1/p' | sort)"
if [ "$exports" != "$expected_exports" ]; then
    echo "FAIL: exports are:" >&2
    printf '  %s\n' $exports >&2
    echo "expected:" >&2
    printf '  %s\n' $expected_exports >&2
    exit 1
fi

# DLLs that every Windows installation has.
system_dlls="kernel32.dll user32.dll gdi32.dll shell32.dll msvcrt.dll advapi32.dll ntdll.dll"
status=0
while read -r imported; do
    [ -z "$imported" ] && continue
    lower="$(printf '%s' "$imported" | tr 'A-Z' 'a-z')"
    case " $system_dlls " in
    *" $lower "*) ;;
    *)
        echo "FAIL: imports non-system DLL $imported" >&2
        status=1
        ;;
    esac
done < <(printf '%s\n' "$dump" | sed -n 's/^\s*DLL Name: \(.*\)$/\1/p')
[ "$status" -eq 0 ] || exit 1

echo "ok: $dll is $format, exports [$(echo $exports)], imports only system DLLs"
