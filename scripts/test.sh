#!/bin/bash
# Installs what is missing, builds, and runs every test: once in an ordinary build and once
# under AddressSanitizer and UndefinedBehaviorSanitizer; then zt-devserver's concurrency tests
# under ThreadSanitizer and each of its fuzzers for a short fixed time.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# The house style: every C++ file as .clang-format has it.
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
mkdir -p build build-asan
scripts/build.sh build -DZT_WERROR=ON
# The configure above checked every include against the library arrows; the README's drawing
# of those arrows must be the build's.
scripts/library-graph.sh build --check
(cd build && ctest --output-on-failure --parallel 2)
# Each test function once more on its own: none may lean on what an earlier one left.
scripts/run-tests-alone.sh build
scripts/build.sh build-asan -DZT_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
(cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure --parallel 2)

# zt-devserver alone, under ThreadSanitizer: the tests where sessions run side by side, in
# process and in a real server whose file work runs beside other sessions (the test forks
# that server after starting threads, which TSan must be told to allow).
mkdir -p build-tsan
scripts/build.sh build-tsan -DZT_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
suppressions="$PWD/tests/devserver/tsan.supp"
(cd build-tsan && TSAN_OPTIONS=halt_on_error=1:die_after_fork=0:suppressions=$suppressions \
    ctest --output-on-failure -R 'engine_concurrency|engine_transactions|protocol_file_work')

# Each libFuzzer harness for a fixed budget, from its seed corpus (README: longer runs).
mkdir -p build-fuzz
scripts/build.sh build-fuzz -DZT_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
for harness in prelogin login7 batch rpc sql; do
    work=$(mktemp -d)
    cp fuzz/corpus/$harness/* "$work"/
    echo "fuzzing $harness for ${ZT_FUZZ_SECONDS:-30} s"
    if ! build-fuzz/bin/fuzz_$harness -max_total_time="${ZT_FUZZ_SECONDS:-30}" -rss_limit_mb=2048 \
        -print_final_stats=1 "$work" > "$work.log" 2>&1; then
        tail -60 "$work.log"
        echo "fuzzer $harness failed"
        exit 1
    fi
    grep -E 'stat::number_of_executed_units' "$work.log"
    rm -f "$work.log"
    rm -rf "$work"
done

# The Debian packages, built once as Debian builds them (Debian's hardening flags, no tests)
# and checked: lintian, the manual pages, the desktop and AppStream files, hardening.
scripts/build-package.sh build-package
scripts/check-package.sh build-package
