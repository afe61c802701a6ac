#!/usr/bin/env bash
# Builds the three builds of the same sources (CMake presets win32, win64, native) and installs
# the plug-ins into dist/:
#   dist/win32/QuorvelDemo.dll   the product: 32-bit Windows DLL
#   dist/win64/QuorvelDemo.dll   64-bit Windows DLL
#   dist/linux/QuorvelDemo.so    Linux shared object (and the native tests and tools in build/native)
# then makes the installer, the Debian package and the archives from them (tools/package.sh).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
jobs="${QUORVEL_JOBS:-$(nproc)}"

for preset in win32 win64 native; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    cmake --install "build/$preset" --prefix dist >/dev/null
done
echo "build: plug-ins in $root/dist (win32, win64, linux)"
tools/package.sh
