#!/usr/bin/env bash
# Builds the three builds of the same sources and gathers the plug-ins in dist/:
#   dist/win32/QuorvelDemo.dll   the product: 32-bit Windows DLL
#   dist/win64/QuorvelDemo.dll   64-bit Windows DLL
#   dist/linux/QuorvelDemo.so    Linux shared object (and the native tests and tools in build/native)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
jobs="${QUORVEL_JOBS:-$(nproc)}"

configure_and_build() {
    local dir="$1"
    shift
    cmake -S . -B "build/$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
    cmake --build "build/$dir" -j "$jobs"
}

configure_and_build win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake"
configure_and_build win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-x86_64.cmake"
configure_and_build native

mkdir -p dist/win32 dist/win64 dist/linux
cp build/win32/bin/QuorvelDemo.dll dist/win32/
cp build/win64/bin/QuorvelDemo.dll dist/win64/
cp build/native/bin/QuorvelDemo.so dist/linux/
echo "build: plug-ins in $root/dist (win32, win64, linux)"
