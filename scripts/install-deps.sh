#!/usr/bin/env bash
# Installs every Debian package that building, testing, benchmarking and fuzzing need.
# Idempotent; run as root (or through sudo) on Debian 12.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libicu-dev
  # the exports for other chromatography programs: ANDI/AIA netCDF written with libnetcdf
  libnetcdf-dev
  # the audit trail: JSON lines (nlohmann-json, which the tests of ostrel-cli read its JSON
  # with too) chained by SHA-256 (OpenSSL libcrypto)
  nlohmann-json3-dev libssl-dev
  # translations (lupdate, lrelease and their CMake functions)
  qt6-tools-dev qt6-l10n-tools
  # the Debian package and the checks of what it installs
  dpkg-dev lintian desktop-file-utils appstream man-db
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  # fuzzers (libFuzzer with ASan and UBSan)
  clang-14 libclang-rt-14-dev
  # Qt's own texts in Russian (the file and print dialogs, the standard buttons), which the
  # package recommends
  qt6-translations-l10n
  # fonts with the metrics of Arial and Times New Roman, with Cyrillic
  fonts-liberation2 fontconfig
  # independent compound-file readers for cross-checking the test fixtures
  python3 python3-olefile libgsf-bin
  # an independent reader of the protocol's PDF (text, pages, fonts, a picture of a page)
  poppler-utils
  # independent readers of the netCDF exports (ncdump, SciPy's netCDF reader)
  netcdf-bin python3-scipy
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
