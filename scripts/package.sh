#!/usr/bin/env bash
# Builds the Debian package build/ostrel_<version>_amd64.deb from the build tree `build` (CPack,
# stripped programs, run-time dependencies from the shared libraries) and checks it with lintian.
# Usage: scripts/package.sh [--no-lintian]
set -euo pipefail
cd "$(dirname "$0")/.."
lint=1
[ "${1:-}" = "--no-lintian" ] && lint=0

scripts/build.sh build
rm -f build/ostrel_*.deb
(cd build && cpack -G DEB >/dev/null)
deb=$(ls build/ostrel_*_amd64.deb)
echo "package: $deb"
dpkg-deb --field "$deb" Package Version Depends Recommends Installed-Size

if [ $lint -eq 1 ]; then
  # The package carries its overrides (packaging/lintian-overrides, each with its reason;
  # `lintian --show-overrides` lists them, but then counts them as failures too). Errors,
  # warnings and information all count.
  lintian --display-info --fail-on error,warning,info "$deb"
  echo "package: lintian clean"
fi
