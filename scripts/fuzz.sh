#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14 and runs each for RUNS inputs (default 20000) from a
# seed corpus made of the test fixtures. Usage: scripts/fuzz.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20000}
CC=clang-14 CXX=clang++-14 scripts/build.sh build-fuzz -DOSTREL_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
shopt -s nullglob
targets=(build-fuzz/fuzz/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz: no fuzz targets yet"
  exit 0
fi
# Seeds: each target fuzz_<name> reads fuzz/corpus/<name>/ and, when present, the seeds the
# normal build's make-fuzz-seeds tool writes into build/fuzz-seeds/<name>/.
if [ -x build/tools/make-fuzz-seeds ]; then build/tools/make-fuzz-seeds build/fuzz-seeds; fi
for t in "${targets[@]}"; do
  name=${t##*/fuzz_}
  corpus=$(mktemp -d)
  for seeds in "fuzz/corpus/$name" "build/fuzz-seeds/$name"; do
    [ -d "$seeds" ] && cp -r "$seeds"/. "$corpus"/
  done
  echo "-- fuzz_$name: $runs runs"
  "$t" -runs="$runs" -max_len=65536 -rss_limit_mb=2048 -timeout=10 "$corpus" 2>&1 | tail -n 3
  rm -rf "$corpus"
done
