#!/usr/bin/env bash
# Checks what the built packages hold:
#   check_packages.sh PACKAGE_FOLDER
# The program with every file it needs, each program with its man page, the library with its
# soname link, and the development files for pkg-config and CMake.
set -euo pipefail
folder=${1:?usage: check_packages.sh PACKAGE_FOLDER}
fail() { echo "FAIL: $*" >&2; exit 1; }

contents() { dpkg-deb --fsys-tarfile "$(ls "$folder/$1"_*.deb)" | tar -t | sed 's|^\./||'; }

check() {
  local package=$1 list
  shift
  list=$(contents "$package")
  for pattern in "$@"; do
    grep -q -x -e "$pattern" <<<"$list" || fail "$package lacks $pattern"
  done
}

check sorvanel usr/bin/sorvanel usr/bin/sorvanel-vdrive usr/bin/sorvanel-mem usr/bin/sorvanel-ctl \
  usr/share/man/man1/sorvanel.1.gz usr/share/man/man1/sorvanel-vdrive.1.gz \
  usr/share/man/man1/sorvanel-mem.1.gz usr/share/man/man1/sorvanel-ctl.1.gz \
  usr/share/sorvanel/help/sorvanel.html \
  usr/share/applications/hu.sorvanel.Sorvanel.desktop \
  usr/share/metainfo/hu.sorvanel.Sorvanel.metainfo.xml \
  usr/share/icons/hicolor/scalable/apps/hu.sorvanel.Sorvanel.svg \
  'usr/share/icons/hicolor/\(16\|24\|32\|48\|64\|128\|256\)x.*/apps/hu.sorvanel.Sorvanel.png' \
  usr/lib/udev/rules.d/60-sorvanel.rules \
  usr/share/dbus-1/interfaces/org.sorvanel.Panel1.xml
[ "$(contents sorvanel | grep -c '^usr/share/icons/hicolor/.*png$')" = 7 ] || fail "icon sizes"
for program in $(contents sorvanel | sed -n 's|^usr/bin/\(.\+\)$|\1|p'); do
  check sorvanel "usr/share/man/man1/$program.1.gz"
done
check libkelvo1 'usr/lib/[^/]*/libkelvo.so.1' 'usr/lib/[^/]*/libkelvo.so.1.0.0'
check libkelvo-dev usr/include/kelvo.h 'usr/lib/[^/]*/libkelvo.so' \
  'usr/lib/[^/]*/pkgconfig/kelvo.pc' 'usr/lib/[^/]*/cmake/Kelvo/KelvoConfig.cmake' \
  'usr/lib/[^/]*/cmake/Kelvo/KelvoConfigVersion.cmake' 'usr/lib/[^/]*/cmake/Kelvo/KelvoTargets.cmake'
echo "package contents: ok"
