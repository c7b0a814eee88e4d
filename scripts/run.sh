#!/usr/bin/env bash
# Sets up everything and runs the program: installs the Debian packages (asks for sudo when not
# root), builds, and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
build/cli/ostrel-cli --help
