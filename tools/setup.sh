#!/usr/bin/env bash
# Installs the Debian packages that building and testing need (Debian 12),
# only those that are missing. Runs as root, or through sudo.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ nlohmann-json3-dev
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64
  wine wine64 fonts-wine
  xvfb xauth
  googletest
  python3
  nsis zip
)

installed() {
  [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]
}

missing=()
for p in "${PACKAGES[@]}"; do
  installed "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q "${missing[@]}"
