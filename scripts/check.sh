#!/usr/bin/env bash
# Sets up everything and runs every test: installs the Debian packages (asks for sudo when not
# root), builds with warnings as errors, runs the test suite, runs it again built with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each fuzzer for a fixed number of inputs.
#   scripts/check.sh            everything (what CI runs)
#   scripts/check.sh --quick    the plain build and test suite only
set -euo pipefail
cd "$(dirname "$0")/.."
quick=0
[ "${1:-}" = "--quick" ] && quick=1

scripts/install-deps.sh

echo "== build and test"
scripts/build.sh build -DOSTREL_WERROR=ON
(cd build && ctest --output-on-failure -j "$(nproc)")

[ $quick -eq 1 ] && exit 0

echo "== build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DOSTREL_SANITIZE=ON -DOSTREL_BENCH=OFF -DOSTREL_WERROR=ON
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest --output-on-failure -j "$(nproc)")

echo "== fuzzers"
scripts/fuzz.sh 100000
