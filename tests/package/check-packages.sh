#!/usr/bin/env bash
# What a user downloads (tools/package.sh): the files in each package and archive, the Debian
# package's dependencies against the libraries its binaries need, and the checksums.
# Usage: check-packages.sh <dist folder> <version>
set -uo pipefail
export LC_ALL=C
dist="${1:?usage: check-packages.sh <dist> <version>}"
version="${2:?usage: check-packages.sh <dist> <version>}"
deb="$dist/quorvel-demo_${version}_amd64.deb"
zip="$dist/QuorvelDemo-$version-windows.zip"
tarball="$dist/quorvel-demo-$version-linux-x86_64.tar.gz"
setup="$dist/QuorvelDemo-$version-setup.exe"

source "$(dirname "$0")/../support/failures.sh"
for file in "$deb" "$zip" "$tarball" "$setup" "$dist/SHA256SUMS"; do
    if [ ! -f "$file" ]; then
        echo "FAIL: $file is missing (tools/build.sh makes it with tools/package.sh)" >&2
        exit 1
    fi
done
work="$(mktemp -d "${TMPDIR:-/tmp}/quorvel-packages.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# Compares a listing with the expected one, line for line.
expect_listing() { # <what> <expected> <actual>
    if [ "$2" != "$3" ]; then
        fail "$1 holds other files than expected:"
        diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") | sed 's/^/    /' >&2
    fi
}

# The Debian package: its files, owned by root, with the usual modes.
expect_listing "$(basename "$deb")" \
"-rwxr-xr-x root/root ./usr/bin/quorvel-render
-rw-r--r-- root/root ./usr/lib/vst/QuorvelDemo.so
-rw-r--r-- root/root ./usr/share/doc/quorvel-demo/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/quorvel-demo/copyright
-rw-r--r-- root/root ./usr/share/man/man1/quorvel-render.1.gz" \
    "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }' | sort -k3)"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] ||
    fail "the package's version is '$(dpkg-deb -f "$deb" Version)', not $version"

# Every library the binaries need comes from a package the Debian package depends on.
dpkg-deb -x "$deb" "$work/deb"
depends=" $(dpkg-deb -f "$deb" Depends | sed 's/([^)]*)//g; s/[,|]/ /g') "
for binary in "$work/deb/usr/lib/vst/QuorvelDemo.so" "$work/deb/usr/bin/quorvel-render"; do
    for soname in $(objdump -p "$binary" | awk '$1 == "NEEDED" { print $2 }'); do
        path="$(ldconfig -p | awk -v n="$soname" '$1 == n && /x86-64/ { print $NF; exit }')"
        real="$(realpath -m "$path")"
        owner=""
        # dpkg knows a file by the path its package ships (/lib or /usr/lib on a merged /usr).
        for candidate in "$path" "$real" "${real#/usr}" "/usr$real"; do
            owner="$(dpkg -S "$candidate" 2>/dev/null | head -n 1 | cut -d: -f1)"
            [ -n "$owner" ] && break
        done
        if [ -z "$owner" ]; then
            fail "$soname (needed by $(basename "$binary")) belongs to no installed package"
        elif [[ "$depends" != *" $owner "* ]]; then
            fail "$(basename "$binary") needs $soname from $owner, which the package does not depend on"
        fi
    done
done

# The archives: the same files as the packages, under one folder each.
expect_listing "$(basename "$tarball")" \
"quorvel-demo-$version-linux-x86_64/
quorvel-demo-$version-linux-x86_64/INSTALL.txt
quorvel-demo-$version-linux-x86_64/QuorvelDemo.so
quorvel-demo-$version-linux-x86_64/quorvel-render" "$(tar -tzf "$tarball" | sort)"
tar -xzf "$tarball" -C "$work"
for file in usr/lib/vst/QuorvelDemo.so usr/bin/quorvel-render; do
    cmp -s "$work/deb/$file" "$work/quorvel-demo-$version-linux-x86_64/$(basename "$file")" ||
        fail "$(basename "$file") differs between the tarball and the Debian package"
done
expect_listing "$(basename "$zip")" \
"QuorvelDemo-$version-windows/INSTALL.txt
QuorvelDemo-$version-windows/win32/QuorvelDemo.dll
QuorvelDemo-$version-windows/win64/QuorvelDemo.dll" "$(unzip -Z1 "$zip" | sort)"
for arch in win32 win64; do
    unzip -p "$zip" "QuorvelDemo-$version-windows/$arch/QuorvelDemo.dll" |
        cmp -s - "$dist/$arch/QuorvelDemo.dll" ||
        fail "the zip's $arch DLL is not the built $dist/$arch/QuorvelDemo.dll"
done

# The checksums cover the four downloads and match them.
expect_listing SHA256SUMS "$(printf '%s\n' "$(basename "$deb")" "$(basename "$setup")" \
    "$(basename "$tarball")" "$(basename "$zip")" | sort)" \
    "$(awk '{ print $2 }' "$dist/SHA256SUMS" | sort)"
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "sha256sum -c SHA256SUMS failed"

finish "ok: the package, the archives and SHA256SUMS of $version"
