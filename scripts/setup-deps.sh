#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the console need, when any is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git ccache
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev libsdl2-dev libltc-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdotool x11-xkb-utils x11-utils imagemagick ffmpeg sox lame vorbis-tools espeak-ng
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
