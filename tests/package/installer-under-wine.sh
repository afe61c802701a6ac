#!/usr/bin/env bash
# The Windows installer under Wine, in a fresh prefix of its own: a silent install puts each DLL
# where VSTPluginsPath of its registry view says, byte for byte, with the uninstall entry, and the
# silent uninstaller removes both and nothing else; then, with VSTPluginsPath unset, the 32-bit
# DLL goes to the usual folder and /VST64DIR= chooses the 64-bit one.
# The installer is a 32-bit program: where 32-bit programs cannot run under Wine this exits 77
# (skipped, with the reason) through run-in-wine.sh; QUORVEL_REQUIRE_WIN32=1 makes it a failure.
# Usage: installer-under-wine.sh <run-in-wine.sh> <tests' prefix> <own prefix> <setup.exe>
#                                <32-bit DLL> <64-bit DLL> <version>
set -uo pipefail
export LC_ALL=C
if [ "$#" -ne 7 ]; then
    echo "usage: $0 <run-in-wine.sh> <tests' prefix> <own prefix> <setup.exe> <dll32> <dll64> <version>" >&2
    exit 2
fi
run="$1" tests_prefix="$2" prefix="$3" setup="$4" dll32="$5" dll64="$6" version="$7"

# Whether 32-bit programs run here was found by the wine_prefix test.
"$run" "$tests_prefix" --after win32 true || exit $?
if [ ! -f "$setup" ]; then
    echo "FAIL: $setup is missing (tools/build.sh makes it with tools/package.sh)" >&2
    exit 1
fi
"$run" "$prefix" --init >/dev/null || exit 1
c="$prefix/drive_c"
reg="$c/windows/system32/reg.exe"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\QuorvelDemo'
maker_key='HKLM\Software\Almacor\Quorvel Demo'
# The uninstaller's folder, chosen with /D= and without spaces: Wine quotes an argument with
# spaces, and the uninstaller's _?= (run in place, and end only when done) must be unquoted.
uninstaller_dir='C:\Almacor\QuorvelDemo'

source "$(dirname "$0")/../support/failures.sh"
wine_run() {
    "$run" "$prefix" "$@" || fail "$(basename "$1") ${*:2} exited with an error"
}
# The DLL at $1 (a path in the prefix) is the built one.
expect_dll() { # <path under drive_c> <built dll>
    cmp -s "$c/$1" "$2" || fail "C:/$1 is missing or not the built $(basename "$(dirname "$2")") DLL"
}
expect_gone() {
    [ ! -e "$c/$1" ] || fail "C:/$1 is still there after the uninstaller"
}
uninstall() {
    wine_run "$c/Almacor/QuorvelDemo/uninstall.exe" /S "_?=$uninstaller_dir"
    "$run" "$prefix" "$reg" query "$uninstall_key" /reg:64 >/dev/null 2>&1 &&
        fail "the uninstall entry is still there after the uninstaller"
    "$run" "$prefix" "$reg" query "$maker_key" /reg:64 >/dev/null 2>&1 &&
        fail "the maker's key is still there after the uninstaller"
}

# 1. VSTPluginsPath set in both registry views; the 32-bit folder exists and holds another file.
mkdir -p "$c/Hosts/Vst32"
echo other >"$c/Hosts/Vst32/Other.dll"
wine_run "$reg" add 'HKLM\SOFTWARE\VST' /v VSTPluginsPath /d 'C:\Hosts\Vst32' /reg:32 /f
wine_run "$reg" add 'HKLM\SOFTWARE\VST' /v VSTPluginsPath /d 'C:\Hosts\Vst64' /reg:64 /f
wine_run "$setup" /S "/D=$uninstaller_dir"
expect_dll Hosts/Vst32/QuorvelDemo.dll "$dll32"
expect_dll Hosts/Vst64/QuorvelDemo.dll "$dll64"
entry="$("$run" "$prefix" "$reg" query "$uninstall_key" /reg:64 2>&1)"
for value in "DisplayName.*Quorvel Demo" "Publisher.*Almacor" "DisplayVersion.*$version" \
    "EstimatedSize.*0x[1-9a-f]" "UninstallString.*uninstall.exe"; do
    printf '%s\n' "$entry" | grep -q "$value" || fail "the uninstall entry has no $value: $entry"
done
uninstall
expect_gone Hosts/Vst32/QuorvelDemo.dll
expect_gone Hosts/Vst64
[ -f "$c/Hosts/Vst32/Other.dll" ] || fail "the uninstaller removed another file in C:/Hosts/Vst32"

# 2. VSTPluginsPath unset: the usual 32-bit folder, and the 64-bit one chosen by its switch.
wine_run "$reg" delete 'HKLM\SOFTWARE\VST' /f /reg:32
wine_run "$reg" delete 'HKLM\SOFTWARE\VST' /f /reg:64
wine_run "$setup" /S '/VST64DIR=C:\Chosen64' "/D=$uninstaller_dir"
expect_dll "Program Files (x86)/VstPlugins/QuorvelDemo.dll" "$dll32"
expect_dll Chosen64/QuorvelDemo.dll "$dll64"
uninstall
expect_gone "Program Files (x86)/VstPlugins/QuorvelDemo.dll"
expect_gone Chosen64/QuorvelDemo.dll

finish "ok: the installer installs where VSTPluginsPath and the switches say, and uninstalls"
