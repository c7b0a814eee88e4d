#!/usr/bin/env bash
# Sets up everything and runs the program: installs the Debian packages (asks for sudo when not
# root), builds, writes the demonstration calibration chromatograms into build/demo and reads
# one of them with ostrel-cli.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
build/tools/ostrel-demo build/demo
build/cli/ostrel-cli read build/demo/calibration-0.05.stg
