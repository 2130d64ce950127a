#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the fuzz targets need.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libfreeimage-dev libfreeimageplus-dev libdevil-dev libjxr-dev libarchive-dev
  libopenjp2-7-dev
  libpng-dev libjpeg-dev zlib1g-dev libtiff-dev libspng-dev libdeflate-dev pngcheck
  libcairo2-dev libfreetype-dev libfontconfig-dev libharfbuzz-dev libfribidi-dev
  fonts-dejavu-core fonts-liberation2 fonts-crosextra-carlito fonts-crosextra-caladea fonts-croscore
  fonts-wine fonts-noto-cjk culmus fonts-kacst fonts-symbola xfonts-base xfonts-75dpi xfonts-100dpi
  qt6-base-dev librsvg2-bin tango-icon-theme xvfb xauth xdg-utils libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev libfuzzer-14-dev clang-format
  locales
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update -qq
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q -o DPkg::Lock::Timeout=900 \
    --no-install-recommends "${missing[@]}"
fi
# A locale with a decimal comma, so that the test of number parsing under such a locale runs
# instead of being skipped.
if ! locale -a 2>/dev/null | grep -qiE '^de_DE\.utf-?8$'; then
  $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
