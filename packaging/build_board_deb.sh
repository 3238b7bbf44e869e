#!/usr/bin/env bash
# The world score table's package, pellimunch-board_<version>_<arch>.deb, from
# a build that build_deb.sh configured (Debian's flags, reproducible): the
# server in /usr/bin, its systemd unit (a system user of its own, state in
# /var/lib/pellimunch-board), its options in /etc/default/pellimunch-board,
# its manual page. Prints the package's path.
#
#   packaging/build_board_deb.sh BUILD_DIR
set -euo pipefail

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$1
: "${SOURCE_DATE_EPOCH:?build_deb.sh sets it}"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)
maintainer=$(sed -n 's/^PELLIMUNCH_MAINTAINER:STRING=//p' "$build/CMakeCache.txt")
name=pellimunch-board

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
root=$stage/root
install -d "$root/DEBIAN" "$root/usr/bin" "$root/lib/systemd/system" "$root/etc/default" \
    "$root/usr/share/man/man8" "$root/usr/share/doc/$name"
# The program stripped of what a package does not carry (its debug symbols
# stay in the build).
install -m 755 "$build/$name" "$root/usr/bin/$name"
strip --strip-unneeded --remove-section=.comment --remove-section=.note "$root/usr/bin/$name"
install -m 644 "$source_dir/packaging/$name.service" "$root/lib/systemd/system/$name.service"
install -m 644 "$source_dir/packaging/$name.default" "$root/etc/default/$name"
gzip -9n <"$source_dir/packaging/$name.8" >"$root/usr/share/man/man8/$name.8.gz"
install -m 644 "$source_dir/packaging/copyright" "$root/usr/share/doc/$name/copyright"
date=$(date -u -d "@$SOURCE_DATE_EPOCH" '+%a, %d %b %Y %H:%M:%S +0000')
printf '%s (%s) unstable; urgency=medium\n\n  * Packaged for Debian: the world score table as a system service.\n\n -- %s  %s\n' \
    "$name" "$version" "$maintainer" "$date" | gzip -9n >"$root/usr/share/doc/$name/changelog.gz"

# The libraries it links, as dpkg-shlibdeps finds them.
mkdir -p "$stage/debian"
printf 'Source: pellimunch\n\nPackage: %s\nArchitecture: any\n' "$name" >"$stage/debian/control"
shlibs=$(cd "$stage" && dpkg-shlibdeps -O "$root/usr/bin/$name" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
size=$(du -k -s --exclude=DEBIAN "$root" | cut -f1)
cat >"$root/DEBIAN/control" <<CONTROL
Package: $name
Version: $version
Architecture: $arch
Maintainer: $maintainer
Installed-Size: $size
Depends: $shlibs, adduser
Section: net
Priority: optional
Homepage: https://pellimunch.example
Description: world score table for Pellimunch
 A server that ranks Pellimunch runs for everyone who plays: it plays each
 submitted replay again through the game itself and ranks only what the game
 computed. It keeps the table in SQLite or PostgreSQL and runs as a systemd
 service behind a web proxy.
CONTROL
echo "/etc/default/$name" >"$root/DEBIAN/conffiles"
for script in postinst prerm postrm; do
    install -m 755 "$source_dir/packaging/board-$script" "$root/DEBIAN/$script"
done
(cd "$root" && find usr lib -type f -print0 | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
chmod 644 "$root/DEBIAN/md5sums" "$root/DEBIAN/control" "$root/DEBIAN/conffiles"
find "$root" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
deb=$build/${name}_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz -b "$root" "$deb" >/dev/null
echo "$deb"
