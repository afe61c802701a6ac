#!/usr/bin/env bash
# Makes what a user downloads from the built plug-ins (tools/build.sh first), into dist/:
#   QuorvelDemo-VERSION-setup.exe              Windows installer, 32-bit and 64-bit (NSIS)
#   quorvel-demo_VERSION_amd64.deb             Debian package: plug-in, quorvel-render, manual
#   QuorvelDemo-VERSION-windows.zip            both DLLs and an install text
#   quorvel-demo-VERSION-linux-x86_64.tar.gz   the plug-in, quorvel-render and an install text
#   SHA256SUMS                                 over the four above
# VERSION is the one in CMakeLists.txt's project(). Reproducible: every time stamp is
# SOURCE_DATE_EPOCH (the commit's time unless set), owners are root, order is sorted, and the
# compressors store no name or time.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
export LC_ALL=C TZ=UTC
umask 022

version="$(sed -n 's/^project(QuorvelDemo VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)"
if [ -z "$version" ]; then
    echo "package: FAILED: no version in CMakeLists.txt's project()" >&2
    exit 1
fi
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    if ! SOURCE_DATE_EPOCH="$(git -C "$root" log -1 --format=%ct 2>/dev/null)"; then
        echo "package: FAILED: not a git checkout; set SOURCE_DATE_EPOCH" >&2
        exit 1
    fi
fi
export SOURCE_DATE_EPOCH

dll32=dist/win32/QuorvelDemo.dll
dll64=dist/win64/QuorvelDemo.dll
module=dist/linux/QuorvelDemo.so
render=build/native/bin/quorvel-render
for file in "$dll32" "$dll64" "$module" "$render"; do
    if [ ! -f "$file" ]; then
        echo "package: FAILED: $file is missing (tools/build.sh builds it)" >&2
        exit 1
    fi
done

setup="QuorvelDemo-$version-setup.exe"
deb="quorvel-demo_${version}_amd64.deb"
zip="QuorvelDemo-$version-windows.zip"
tarball="quorvel-demo-$version-linux-x86_64.tar.gz"
work="$root/build/package"
rm -rf "$work"
mkdir -p "$work"
rm -f dist/QuorvelDemo-*-setup.exe dist/quorvel-demo_*.deb dist/QuorvelDemo-*-windows.zip \
    dist/quorvel-demo-*-linux-x86_64.tar.gz dist/SHA256SUMS

# Every file and folder under $1 gets the same time.
stamp() {
    find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

echo "== $setup"
makensis -WX -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DDLL32="$root/$dll32" \
    -DDLL64="$root/$dll64" -DOUTFILE="$root/dist/$setup" packaging/windows/QuorvelDemo.nsi

# The Linux files as Debian ships binaries: without symbols or the compiler's comment.
mkdir -p "$work/linux"
strip --strip-unneeded --remove-section=.comment -o "$work/linux/QuorvelDemo.so" "$module"
strip --remove-section=.comment -o "$work/linux/quorvel-render" "$render"
chmod 644 "$work/linux/QuorvelDemo.so"
chmod 755 "$work/linux/quorvel-render"

echo "== $deb"
pkg="$work/deb/debian/quorvel-demo"
doc="$pkg/usr/share/doc/quorvel-demo"
mkdir -p "$pkg/DEBIAN" "$pkg/usr/lib/vst" "$pkg/usr/bin" "$pkg/usr/share/man/man1" "$doc"
cp packaging/debian/control "$work/deb/debian/control"
cp "$work/linux/QuorvelDemo.so" "$pkg/usr/lib/vst/"
cp "$work/linux/quorvel-render" "$pkg/usr/bin/"
gzip -9n <packaging/debian/quorvel-render.1 >"$pkg/usr/share/man/man1/quorvel-render.1.gz"
cp packaging/debian/copyright "$doc/copyright"
cat >"$work/deb/debian/changelog" <<EOF
quorvel-demo ($version) unstable; urgency=medium

  * Quorvel Demo $version.

 -- Almacor <quorvel@example.com>  $(date -R -d "@$SOURCE_DATE_EPOCH")
EOF
gzip -9n <"$work/deb/debian/changelog" >"$doc/changelog.gz"
(
    cd "$work/deb"
    # The dependencies are those of the binaries, with the versions their symbols need.
    dpkg-shlibdeps -Tdebian/substvars debian/quorvel-demo/usr/lib/vst/QuorvelDemo.so \
        debian/quorvel-demo/usr/bin/quorvel-render
    dpkg-gencontrol -pquorvel-demo -Pdebian/quorvel-demo -Tdebian/substvars
    cd debian/quorvel-demo
    find usr -type f | sort | xargs md5sum >DEBIAN/md5sums
)
chmod 644 "$pkg/DEBIAN/control" "$pkg/DEBIAN/md5sums"
stamp "$pkg"
dpkg-deb --root-owner-group -Zxz --build "$pkg" "dist/$deb" >/dev/null

echo "== $tarball"
dir="$work/tar/quorvel-demo-$version-linux-x86_64"
mkdir -p "$dir"
cp "$work/linux/QuorvelDemo.so" "$work/linux/quorvel-render" "$dir/"
sed "s/VERSION/$version/g" packaging/linux/INSTALL.txt >"$dir/INSTALL.txt"
stamp "$work/tar"
tar -C "$work/tar" --sort=name --format=gnu --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 \
    --numeric-owner -cf - "$(basename "$dir")" | gzip -9n >"dist/$tarball"

echo "== $zip"
dir="$work/zip/QuorvelDemo-$version-windows"
mkdir -p "$dir/win32" "$dir/win64"
cp "$dll32" "$dir/win32/"
cp "$dll64" "$dir/win64/"
chmod 644 "$dir/win32/QuorvelDemo.dll" "$dir/win64/QuorvelDemo.dll"
sed -e "s/VERSION/$version/g" -e 's/$/\r/' packaging/windows/INSTALL.txt >"$dir/INSTALL.txt"
stamp "$work/zip"
# -X: no owners or extra time fields; the names are listed in a fixed order.
(cd "$work/zip" && find "$(basename "$dir")" | sort | zip -X -D -q -9 "$root/dist/$zip" -@)

(cd dist && sha256sum "$setup" "$deb" "$zip" "$tarball" >SHA256SUMS)
echo "package: dist/$setup, dist/$deb, dist/$zip, dist/$tarball, dist/SHA256SUMS"
