#!/usr/bin/env bash
# Installs the Debian packages Kestrun needs to build, test and run, when any is missing.
set -euo pipefail
packages=(
  build-essential cmake pkg-config libgtest-dev
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev
  qt6-base-dev libgl-dev libass-dev libbluray-dev
  ffmpeg mkvtoolnix faad soundstretch mpgtx libbluray-bin x264 mencoder fontconfig
  fonts-dejavu-core fonts-dejavu-extra xvfb xauth time
  clang-format nlohmann-json3-dev libcli11-dev ccache git
  clang libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]}; run this script as root to install them." >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
