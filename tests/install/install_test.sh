#!/usr/bin/env bash
# Installs the build into a DESTDIR and checks what the packages are made of:
#   install_test.sh BUILD_FOLDER DESTDIR PREFIX
# - every file of the program, the library and its development files is there;
# - every installed program has its man page, and none keeps the build folder's library path;
# - the installed program counts as installed: it keeps its settings and memory file in the
#   XDG folders (made on the way), never beside itself;
# - a program of another project builds against the installed Kelvo with pkg-config and CMake.
set -euo pipefail
build=$1 dest=$2 prefix=$3
root="$dest$prefix"
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$dest"
DESTDIR="$dest" cmake --install "$build" >/dev/null

libdir=$(sed -n 's/^libdir=\${prefix}\///p' "$build/protocol/kelvo.pc")
expected=(
  bin/sorvanel bin/sorvanel-vdrive bin/sorvanel-mem bin/sorvanel-ctl
  share/man/man1/sorvanel.1 share/man/man1/sorvanel-vdrive.1 share/man/man1/sorvanel-mem.1
  share/man/man1/sorvanel-ctl.1
  share/sorvanel/help/sorvanel.html
  share/applications/hu.sorvanel.Sorvanel.desktop
  share/metainfo/hu.sorvanel.Sorvanel.metainfo.xml
  share/icons/hicolor/scalable/apps/hu.sorvanel.Sorvanel.svg
  lib/udev/rules.d/60-sorvanel.rules
  share/dbus-1/interfaces/org.sorvanel.Panel1.xml
  "$libdir/libkelvo.so.1" "$libdir/libkelvo.so" include/kelvo.h "$libdir/pkgconfig/kelvo.pc"
  "$libdir/cmake/Kelvo/KelvoConfig.cmake" "$libdir/cmake/Kelvo/KelvoConfigVersion.cmake"
  "$libdir/cmake/Kelvo/KelvoTargets.cmake"
)
for side in 16 24 32 48 64 128 256; do
  expected+=("share/icons/hicolor/${side}x${side}/apps/hu.sorvanel.Sorvanel.png")
done
for file in "${expected[@]}"; do
  [ -e "$root/$file" ] || fail "not installed: $prefix/$file"
done
[ ! -e "$root/bin/vdrive" ] || fail "vdrive installed under its build name"
for program in "$root"/bin/*; do
  name=$(basename "$program")
  [ -e "$root/share/man/man1/$name.1" ] || fail "no man page for $name"
  ! readelf -d "$program" | grep -q "$build" || fail "$name keeps the build folder's library path"
done

# The installed program, with a home of its own and no XDG variables.
export LD_LIBRARY_PATH="$root/$libdir"
home="$dest/home"
mkdir -p "$home"
env -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$home" XDG_RUNTIME_DIR="$dest/runtime" \
  "$root/bin/sorvanel" &
pid=$!
# SIGTERM closes the window (saving settings and memory) once the program has taken it over.
for _ in $(seq 600); do
  mask=$(sed -n 's/^SigCgt:\s*//p' "/proc/$pid/status" 2>/dev/null || true)
  [ -n "$mask" ] && (( (16#$mask >> 14) & 1 )) && break
  kill -0 "$pid" 2>/dev/null || fail "the installed program ended by itself"
  sleep 0.1
done
kill -TERM "$pid"
wait "$pid" || fail "the installed program did not end cleanly"
[ -s "$home/.config/sorvanel/sorvanel.ini" ] || fail "no settings in ~/.config/sorvanel"
[ "$(stat -c %s "$home/.local/share/sorvanel/Sorvanel.mem")" = 8227 ] ||
  fail "no memory file in ~/.local/share/sorvanel"
[ "$(stat -c %a "$home/.config/sorvanel")" = 700 ] || fail "settings folder not private"
stray=$(ls -A "$root/bin" | grep -v -x -e sorvanel -e 'sorvanel-.*' || true)
[ -z "$stray" ] || fail "files beside the installed program: $stray"

# A program of another project builds against the installed Kelvo and runs.
PKG_CONFIG_PATH="$root/$libdir/pkgconfig" PKG_CONFIG_SYSROOT_DIR="$dest" \
  CMAKE_PREFIX_PATH="$root" \
  "$(dirname "$0")/../consumer/build-and-run.sh" "$dest/consumer"
echo "install into DESTDIR: ok"
