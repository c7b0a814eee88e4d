#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14 and runs each for RUNS inputs (default 20000) from
# its seed corpus (written by seeds_<name>, made from the test fixtures).
# Usage: scripts/fuzz.sh [RUNS [NAME...]]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20000}
shift || true
CC=clang-14 CXX=clang++-14 scripts/build.sh build-fuzz -DOSTREL_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for t in build-fuzz/fuzz/fuzz_*; do [ -f "$t" ] && [ -x "$t" ] && names+=("${t##*/fuzz_}"); done
fi
if [ ${#names[@]} -eq 0 ]; then
  echo "fuzz: no fuzz targets yet"
  exit 0
fi
for name in "${names[@]}"; do
  corpus=$(mktemp -d)
  if [ -f "build-fuzz/fuzz/seeds_$name" ]; then "build-fuzz/fuzz/seeds_$name" "$corpus"; fi
  echo "-- fuzz_$name: $runs runs from $(ls "$corpus" | wc -l) seeds"
  log=$(mktemp)
  status=0
  "build-fuzz/fuzz/fuzz_$name" -runs="$runs" -max_len=65536 -rss_limit_mb=2048 -timeout=10 \
    -print_final_stats=1 "$corpus" >"$log" 2>&1 || status=$?
  grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb|SUMMARY|==[0-9]+==ERROR)' "$log" || true
  [ "$status" -ne 0 ] && tail -n 40 "$log"
  rm -f "$log"
  rm -rf "$corpus"
  if [ "$status" -ne 0 ]; then echo "fuzz_$name failed"; exit 1; fi
done
