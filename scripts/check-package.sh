#!/usr/bin/env bash
# Installs build/ostrel_*.deb with apt as an administrator would, runs the installed programs
# (version, manual page, the demo calibration), removes the package again with purge and checks
# that nothing of it stays behind. Needs root; run after scripts/package.sh.
# The demo profile is written by the build tree's tools/ostrel-demo (a developer's tool, not
# installed): only ostrel-cli and its files come from the package.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || { echo "check-package: needs root (apt install and purge)"; exit 1; }
deb=$(readlink -f build/ostrel_*_amd64.deb)
if dpkg-query -W -f='${Status}' ostrel 2>/dev/null | grep -q 'install ok installed'; then
  # A machine's own installation is never replaced by a test, except on CI's machine.
  [ "${CI:-}" = "true" ] || { echo "check-package: ostrel is installed here; remove it first"; exit 1; }
  echo "check-package: replacing the installed ostrel (CI)"
fi

work=$(mktemp -d)
cleanup() {
  dpkg-query -W ostrel >/dev/null 2>&1 && apt-get purge -y -qq ostrel >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
export DEBIAN_FRONTEND=noninteractive

echo "check-package: apt install $deb"
apt-get install -y -qq --no-install-recommends "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; exit 1; }
dpkg -L ostrel >"$work/files"

echo "check-package: the installed programs"
/usr/bin/ostrel-cli --version
/usr/bin/ostrel --version
man -w ostrel-cli | grep -qx /usr/share/man/man1/ostrel-cli.1.gz
desktop-file-validate /usr/share/applications/com.tarnwick.ostrel.desktop

# The demo calibration computed by the installed ostrel-cli is the build tree's, to the byte.
build/tools/ostrel-demo "$work/demo" >/dev/null
demo() {
  XDG_CONFIG_HOME="$work/demo/config" XDG_CONFIG_DIRS="$work/demo/machine" "$1" calibrate --stored \
    --chart "$work/$2.png"
}
demo /usr/bin/ostrel-cli installed >"$work/installed.json"
demo build/cli/ostrel-cli built >"$work/built.json"
cmp "$work/installed.json" "$work/built.json"
cmp "$work/installed.png" "$work/built.png"
grep -o '"averageCoefficient": *[0-9.e+-]*' "$work/installed.json"

echo "check-package: apt purge ostrel"
apt-get purge -y -qq ostrel >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; exit 1; }
if dpkg-query -W ostrel >/dev/null 2>&1; then
  echo "check-package: dpkg still knows ostrel after the purge"; dpkg -l ostrel; exit 1
fi
# Every file of the package is gone; a folder may stay only while another package owns it or
# something else is in it.
left=0
while IFS= read -r path; do
  [ "$path" = "/." ] && continue
  if [ -d "$path" ] && [ ! -L "$path" ]; then
    if [ -z "$(ls -A "$path")" ] && ! dpkg -S "$path" >/dev/null 2>&1; then echo "left behind: $path/"; left=1; fi
  elif [ -e "$path" ] || [ -L "$path" ]; then
    echo "left behind: $path"; left=1
  fi
done <"$work/files"
[ $left -eq 0 ] || exit 1
echo "check-package: installed, ran and removed without leftovers ($(wc -l <"$work/files") paths of the package)"
