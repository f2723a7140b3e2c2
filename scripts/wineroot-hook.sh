#!/usr/bin/env bash
# mmdebstrap's last step in making the Wine root (scripts/wineroot.sh); $1 is the root.
# WoW64 needs the i386 PE DLLs, which ship in libwine:i386 of the same version:
# they are taken from that package into the amd64 tree, without installing its
# i386 dependencies.
set -euo pipefail
root=$1
version=$(chroot "$root" dpkg-query -W -f='${Version}' libwine)
chroot "$root" sh -c "cd /tmp && apt-get download -q=2 libwine:i386=$version"
mkdir -p "$root/tmp/libwine-i386"
dpkg-deb -x "$root"/tmp/libwine_*_i386.deb "$root/tmp/libwine-i386"
cp -a "$root/tmp/libwine-i386/usr/lib/i386-linux-gnu/wine/i386-windows" "$root/usr/lib/x86_64-linux-gnu/wine/"
rm -rf "$root/tmp/libwine-i386" "$root"/tmp/libwine_*_i386.deb
cp /etc/hosts "$root/etc/hosts"
