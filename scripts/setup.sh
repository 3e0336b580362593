#!/usr/bin/env bash
# Installs what the build and its tests need (Debian 12 packages), only when
# missing; packages named as arguments are installed with them.
set -euo pipefail
packages=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite
          libsqlite3-dev libkainjow-mustache-dev libgl1-mesa-dev qt6-charts-dev libqt6opengl6-dev
          pkgconf libical-dev libcsv-dev libvformat-dev libnova-dev desktop-file-utils appstream
          dpkg-dev fonts-urw-base35 poppler-utils clang-format-14 postgresql libqt6sql6-psql libpq-dev
          libcpp-httplib-dev chromium chromium-driver python3-selenium libcurl4-openssl-dev
          python3-aiosmtpd openssl qtkeychain-qt6-dev radicale "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
