#!/usr/bin/env bash
# Sets up everything and runs every test: installs the Debian packages (asks for sudo when not
# root), builds with warnings as errors, runs the test suite, builds the program's Debian package
# and (as root) installs, runs and removes it, runs the suite again built with AddressSanitizer
# and UndefinedBehaviorSanitizer, runs the tests of the threaded folder scan, the open dialog and
# the chromatogram preview built with ThreadSanitizer, and runs each fuzzer for a fixed number of
# inputs.
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

echo "== the Debian package: built, checked by lintian, installed, run and removed"
scripts/package.sh
if [ "$(id -u)" -eq 0 ]; then
  scripts/check-package.sh
else
  echo "check: the package is not installed (installing and removing it needs root)"
fi

echo "== build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
# With the portable integration kernels: the plain build runs the AVX2 ones wherever the
# processor has AVX2, so this is where the baseline code's results are checked against the
# reference (IntegrationReferenceTest).
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DOSTREL_SANITIZE=ON -DOSTREL_PORTABLE_KERNELS=ON -DOSTREL_BENCH=OFF -DOSTREL_WERROR=ON
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest --output-on-failure -j "$(nproc)")

echo "== the folder scan's, the open dialog's, the preview's and the background calculation's tests with ThreadSanitizer"
# Only the three test programs are built. Qt's own libraries are not instrumented: what they do
# inside (their image threads, their futex locks) is left out, while every access of ours is
# checked. A race makes the run fail.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOSTREL_TSAN=ON -DOSTREL_BENCH=OFF -DOSTREL_WERROR=ON >/dev/null
cmake --build build-tsan -j "$(nproc)" --target test_chromatogram test_selection test_app
export TSAN_OPTIONS="halt_on_error=1 exitcode=66 ignore_noninstrumented_modules=1"
build-tsan/tests/test_chromatogram --gtest_filter='FolderScan*'
QT_QPA_PLATFORM=offscreen build-tsan/tests/test_selection
QT_QPA_PLATFORM=offscreen build-tsan/tests/test_app --gtest_filter='BackgroundCalculation*:ChromatogramWindow*'
unset TSAN_OPTIONS

echo "== fuzzers"
scripts/fuzz.sh 100000
