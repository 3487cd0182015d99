#!/usr/bin/env bash
# Builds consumer.c against an installed Kelvo twice, with pkg-config and with CMake's
# find_package(Kelvo), and runs both programs.
#   build-and-run.sh WORK_FOLDER
# Kelvo is found where pkg-config and CMake look by default; an install elsewhere is named by
# PKG_CONFIG_PATH / PKG_CONFIG_SYSROOT_DIR and CMAKE_PREFIX_PATH.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=${1:?usage: build-and-run.sh WORK_FOLDER}
mkdir -p "$work"

cc ${CFLAGS:-} -o "$work/consumer-pkg-config" "$here/consumer.c" $(pkg-config --cflags --libs kelvo)
"$work/consumer-pkg-config"

cmake -S "$here" -B "$work/cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/cmake" >/dev/null
"$work/cmake/consumer"
