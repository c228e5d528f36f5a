#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing.
# Idempotent: a second run installs nothing. Runs apt-get as root, or through sudo.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-image-formats-plugins
  libgtest-dev googletest
  poppler-utils  # pdftotext, for the printing test
  libcurl4-openssl-dev python3-pyftpdlib python3-openssl
  libzip-dev zlib1g-dev xdg-utils zip unzip msmtp python3-aiosmtpd
  # installing and the Debian package: icon rendering, compressed pages, package tools, and
  # the checks of the installed desktop files, manual pages and package
  librsvg2-bin gzip dpkg-dev fakeroot file lintian desktop-file-utils appstream
  shared-mime-info man-db groff-base util-linux
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  run=()
elif command -v sudo >/dev/null 2>&1; then
  run=(sudo)
else
  echo "Need root or sudo to install: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${run[@]}" apt-get update -qq || true
"${run[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
