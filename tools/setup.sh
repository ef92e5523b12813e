#!/usr/bin/env bash
# Installs every Debian package the engine, its tests, benchmarks and sample host need.
# Safe to run again: apt-get skips what is already installed.
set -euo pipefail

packages=(
  # toolchain
  g++ cmake ninja-build pkg-config clang libclang-rt-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  # engine dependencies
  zlib1g-dev libssl-dev libpng-dev libjpeg-dev libode-dev libcgal-dev libgmp-dev libmpfr-dev
  libsdl2-dev libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
  # OpenGL through Mesa (software rendering for headless tests)
  libgl-dev libegl-dev libgl1-mesa-dri libegl-mesa0 mesa-utils
  # the sample-data generator draws its font from a face Debian ships
  fonts-dejavu-core libfreetype-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
echo "setup: installed ${missing[*]}"
