#!/usr/bin/env bash
# Sets up everything and runs the program on the demonstration profile: installs the Debian
# packages (asks for sudo when not root), builds, writes the demo profile into build/demo (five
# calibration chromatograms, three methods and the settings that point at them; never your own
# settings) and starts ostrel on it. Every run puts the demo profile back as it was.
# Without a display it computes the demo calibration with ostrel-cli instead and draws its chart
# into build/demo/calibration.png.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
build/tools/ostrel-demo build/demo >/dev/null

# The settings store follows the XDG folders: the per-user hive in build/demo/config, the
# machine hive (where the open dialog's root folder is) in build/demo/machine. The copies of the
# demo's methods and the audit trail of its method writes go to build/demo/data.
export XDG_CONFIG_HOME="$PWD/build/demo/config"
export XDG_CONFIG_DIRS="$PWD/build/demo/machine"
export XDG_DATA_HOME="$PWD/build/demo/data"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no display (DISPLAY and WAYLAND_DISPLAY are unset), so no window;" \
       "the demo calibration as ostrel-cli computes it:"
  build/cli/ostrel-cli calibrate --stored --chart build/demo/calibration.png
  echo "run: the calibration chart is in $PWD/build/demo/calibration.png"
  exit 0
fi
exec build/app/ostrel
