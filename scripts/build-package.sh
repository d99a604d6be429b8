#!/bin/bash
# Builds the Debian packages zhangtao and zhangtao-devserver the way Debian builds: with the
# compiler and linker flags of dpkg-buildflags (all hardening: fortify, stack protector,
# relro, bind-now, PIE) and without tests, benchmarks or fuzzers. Into build-package/ (or
# DIR): scripts/build-package.sh [DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-package}

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
eval "$(dpkg-buildflags --export=sh)"
# Given on the command line rather than through the environment, which CMake reads only at a
# directory's first configure; CMake has no CPPFLAGS (where _FORTIFY_SOURCE is), so they go
# with the compiler flags, as debhelper does.
mkdir -p "$dir"
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
    -DZT_BUILD_TESTS=OFF \
    -DCMAKE_C_FLAGS="$CFLAGS $CPPFLAGS" -DCMAKE_CXX_FLAGS="$CXXFLAGS $CPPFLAGS" \
    -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" -DCMAKE_SHARED_LINKER_FLAGS="$LDFLAGS" \
    > "$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; exit 1; }
nice cmake --build "$dir" --parallel 2
rm -f "$dir"/*.deb
(cd "$dir" && cpack -G DEB)
ls "$dir"/*.deb
