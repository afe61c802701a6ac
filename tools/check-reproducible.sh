#!/usr/bin/env bash
# Builds the current commit twice, in two fresh clones in folders of different names, one after
# the other (so at different times, in different time zones, under different umasks), without
# ccache, and compares what a user gets byte for byte: the three plug-ins, quorvel-render, the
# installer, the Debian package, the archives and SHA256SUMS. Takes some minutes; not part of
# tools/test.sh.
#   check-reproducible.sh            builds the shipped targets (the plug-ins and quorvel-render,
#                                    with the flags of tools/build.sh) and packages them
# Exit status 0 when every file is identical. The two clones stay in the folder it names.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
export LC_ALL=C
unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER CCACHE_BASEDIR
jobs="${QUORVEL_JOBS:-$(nproc)}"

commit="$(git rev-parse HEAD)" || exit 1
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    echo "check-reproducible: note: uncommitted changes are not part of the comparison"
fi
work="$(mktemp -d "${TMPDIR:-/tmp}/quorvel-reproducible.XXXXXX")"

build_in() { # <folder> <time zone> <umask>
    local dir="$1"
    git clone -q --no-hardlinks "$root" "$dir" && git -C "$dir" checkout -q --detach "$commit" ||
        return 1
    (
        cd "$dir" || exit 1
        export TZ="$2"
        umask "$3"
        for preset in win32 win64 native; do
            targets=(quorvel_vst)
            [ "$preset" = native ] && targets+=(quorvel_render)
            cmake --preset "$preset" >/dev/null &&
                cmake --build --preset "$preset" -j "$jobs" --target "${targets[@]}" >/dev/null &&
                cmake --install "build/$preset" --prefix dist >/dev/null || exit 1
        done
        tools/package.sh >/dev/null
    ) >"$dir.log" 2>&1
}

first="$work/first"
second="$work/second-build-in-a-longer-folder"
echo "check-reproducible: commit $commit, in $work"
echo "== first build ($(date -u +%H:%M:%S))"
build_in "$first" UTC 022 || { echo "FAILED: the first build failed; see $first.log"; exit 1; }
sleep 2
echo "== second build ($(date -u +%H:%M:%S))"
build_in "$second" Pacific/Auckland 002 ||
    { echo "FAILED: the second build failed; see $second.log"; exit 1; }

version="$(sed -n 's/^project(QuorvelDemo VERSION \([0-9][0-9.]*\).*/\1/p' "$first/CMakeLists.txt")"
files=(
    dist/win32/QuorvelDemo.dll
    dist/win64/QuorvelDemo.dll
    dist/linux/QuorvelDemo.so
    build/native/bin/quorvel-render
    "dist/QuorvelDemo-$version-setup.exe"
    "dist/quorvel-demo_${version}_amd64.deb"
    "dist/QuorvelDemo-$version-windows.zip"
    "dist/quorvel-demo-$version-linux-x86_64.tar.gz"
    dist/SHA256SUMS
)
differ=0
echo "== comparison"
for file in "${files[@]}"; do
    if [ ! -f "$first/$file" ] || [ ! -f "$second/$file" ]; then
        echo "   MISSING    $file"
        differ=$((differ + 1))
    elif cmp -s "$first/$file" "$second/$file"; then
        echo "   identical  $(sha256sum "$first/$file" | cut -c1-16)  $file"
    else
        echo "   DIFFERENT  $file"
        differ=$((differ + 1))
    fi
done
if [ "$differ" -ne 0 ]; then
    echo "== FAILED: $differ of ${#files[@]} files differ between $first and $second"
    exit 1
fi
echo "== reproducible: all ${#files[@]} files identical"
