#!/usr/bin/env bash
# Installs every tool the project needs on Debian 12; quiet and quick when all is present.
set -euo pipefail

packages=(
  cmake make g++ googletest
  clang libclang-rt-14-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  wine wine32:i386 fonts-wine
  xvfb x11-utils imagemagick
  python3
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}" >&2
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
