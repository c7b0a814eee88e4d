#!/usr/bin/env bash
# Configures and builds one build tree. Usage: scripts/build.sh [DIR [cmake options...]]
# (default DIR: build). Used by check.sh and run.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
