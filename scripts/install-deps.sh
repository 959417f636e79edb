#!/usr/bin/env bash
# Installs what building, running and testing tarnisk needs on Debian 12.
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config libsdl2-dev libepoxy-dev libstb-dev
          libgtest-dev libbenchmark-dev libtinyobjloader-dev xvfb xauth libgl1-mesa-dri)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
