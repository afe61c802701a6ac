#!/usr/bin/env bash
# Installs, from Debian's packages, whatever a job needs and is missing.
#   install-deps.sh main   the build and the main job: compilers, libraries, packaging tools
#                          (NSIS, zip, dpkg-dev; no Wine, no i386 architecture)
#   install-deps.sh test   also what the tests need: Wine, Xvfb, clang, lintian, unzip; 32-bit
#                          Wine (wine32:i386) only where the kernel runs 32-bit x86 programs
# An `apt-get update` that fails for one list (a mirror mid-sync) does not stop it: apt keeps the
# lists it has. A package that cannot be installed is a failure that names it, with one
# exception: where Debian's archive cannot provide 32-bit Wine (its i386 lists out of step with
# the rest), that is written to build/deps-unavailable, and the 32-bit DLL's runtime tests are
# skipped with that reason (QUORVEL_REQUIRE_WIN32=1 turns the skip into a failure).
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
mode="${1:-main}"
unavailable="$root/build/deps-unavailable"

main_packages=(
    build-essential cmake pkg-config git
    libgtest-dev libgmock-dev libbenchmark-dev
    libsndfile1-dev libcairo2-dev fonts-dejavu-core fonts-dejavu-extra
    libxcb1-dev libxcb-xtest0-dev libxcb-xfixes0-dev
    g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
    binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
    nsis zip dpkg-dev
)
test_packages=(
    imagemagick xdotool x11-utils
    wine wine64 xvfb xauth
    clang-14 libclang-rt-14-dev
    lintian unzip
)

case "$mode" in
main) packages=("${main_packages[@]}") ;;
test) packages=("${main_packages[@]}" "${test_packages[@]}") ;;
*)
    echo "usage: $0 [main|test]" >&2
    exit 2
    ;;
esac

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}
installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}
updated=0
update_lists() {
    [ "$updated" -eq 1 ] && return 0
    updated=1
    if ! as_root apt-get update -q; then
        echo "install-deps: apt-get update could not fetch every list; going on with the lists apt has"
    fi
}
apt_install() {
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@"
}

missing=()
for package in "${packages[@]}"; do
    installed "$package" || missing+=("$package")
done
if [ "${#missing[@]}" -ne 0 ]; then
    echo "install-deps: installing ${missing[*]}"
    update_lists
    if ! apt_install "${missing[@]}"; then
        # Name the ones apt cannot install, one by one.
        failed=()
        for package in "${missing[@]}"; do
            installed "$package" || apt_install "$package" >/dev/null 2>&1 || failed+=("$package")
        done
        if [ "${#failed[@]}" -ne 0 ]; then
            echo "install-deps: FAILED: Debian's archive could not install: ${failed[*]}" >&2
            exit 1
        fi
    fi
fi

[ "$mode" = test ] || exit 0

# 32-bit Wine, only where the kernel runs 32-bit x86 programs (tools/probe-machine.sh asks the
# kernel with a tiny static 32-bit program).
mkdir -p "$root/build"
if ! "$root/tools/probe-machine.sh" kernel32 >/dev/null; then
    echo "install-deps: this kernel does not run 32-bit x86 programs; 32-bit Wine is not installed"
    rm -f "$unavailable"
    exit 0
fi
if installed wine32:i386; then
    rm -f "$unavailable"
    echo "install-deps: everything is installed"
    exit 0
fi
echo "install-deps: installing wine32:i386"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
    updated=0
fi
update_lists
log="$(mktemp)"
if apt_install wine32:i386 2>&1 | tee "$log"; [ "${PIPESTATUS[0]}" -eq 0 ] && installed wine32:i386; then
    rm -f "$unavailable"
else
    reason="$(grep -E '^E: ' "$log" | tail -n 1 | sed 's/^E: //')"
    printf 'wine32:i386: Debian'"'"'s archive could not provide wine32:i386 today (apt-get: %s)\n' \
        "${reason:-apt-get install failed}" >"$unavailable"
    echo "install-deps: Debian's archive could not provide wine32:i386 today; the 32-bit DLL's" \
         "runtime tests will be skipped with that reason"
fi
rm -f "$log"
exit 0
