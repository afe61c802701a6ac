#!/usr/bin/env bash
# Captures the real editor at its defaults after some audio:
#   tools/capture-editor.sh         the 32-bit DLL under Wine, into docs/editor-wine.png
#   tools/capture-editor.sh linux   the Linux shared object in a window of the Linux test host
#                                   on Xvfb, read back from the X server, into
#                                   docs/editor-linux.png
# Needs the builds (tools/build.sh) and, for Wine, ImageMagick's convert.
#   QUORVEL_WIN32_DIR   build tree of the 32-bit DLL and test host (default build/win32)
#   QUORVEL_WINEPREFIX  Wine prefix to use (default build/native/wineprefix; made if missing)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

if [ "${1:-}" = linux ]; then
    native="$root/build/native"
    mkdir -p "$root/docs"
    QUORVEL_EDITOR_PICTURE="$root/docs/editor-linux.png" xvfb-run -a -s "-screen 0 1024x768x24" \
        "$native/tests/x11/quorvel_x11_host" "$native/bin/QuorvelDemo.so" defaults
    echo "capture-editor: wrote $root/docs/editor-linux.png"
    exit 0
fi
win32="${QUORVEL_WIN32_DIR:-$root/build/win32}"
prefix="${QUORVEL_WINEPREFIX:-$root/build/native/wineprefix}"
run="$root/tests/wine/run-in-wine.sh"

if ! command -v convert >/dev/null 2>&1; then
    echo "capture-editor: ImageMagick's convert is needed (apt-get install imagemagick)" >&2
    exit 1
fi
if [ ! -f "$prefix/system.reg" ]; then
    "$run" "$prefix" --init
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$run" "$prefix" "$win32/bin/quorvel_winhost.exe" "$win32/bin/QuorvelDemo.dll" screenshot \
    "$work/editor.bmp"
mkdir -p "$root/docs"
convert "$work/editor.bmp" -strip "$root/docs/editor-wine.png"
echo "capture-editor: wrote $root/docs/editor-wine.png"
