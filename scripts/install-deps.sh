#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine. Safe to run
# again: it only installs what is missing.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

pkgs=(
  build-essential cmake ninja-build pkg-config
  g++-arm-linux-gnueabihf libc6-dev-armhf-cross qemu-user
  g++-mingw-w64-i686
  googletest
  libcli11-dev libtomlplusplus-dev libutfcpp-dev
  python3 python3-gammu
  binutils-arm-linux-gnueabihf binutils-mingw-w64-i686
  valgrind
  clang libclang-rt-14-dev
)

sudo_() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  sudo_ dpkg --add-architecture i386
  updated=no
fi

for p in "${pkgs[@]}"; do have_pkg "$p" || need+=("$p"); done
have_pkg wine || need+=(wine)
have_pkg wine32:i386 || need+=(wine32:i386)

if [ ${#need[@]} -eq 0 ]; then
  echo "install-deps: everything is present"
  exit 0
fi

echo "install-deps: installing ${need[*]}"
export DEBIAN_FRONTEND=noninteractive
sudo_ apt-get update -qq
sudo_ apt-get install -y -qq --no-install-recommends "${need[@]}"
