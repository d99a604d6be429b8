#!/bin/bash
# Installs what is missing, builds, and runs every test: once in an ordinary build and once
# under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
mkdir -p build build-asan
scripts/build.sh build -DZT_WERROR=ON
(cd build && ctest --output-on-failure --parallel 2)
# Each test function once more on its own: none may lean on what an earlier one left.
scripts/run-tests-alone.sh build
scripts/build.sh build-asan -DZT_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
(cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure --parallel 2)
