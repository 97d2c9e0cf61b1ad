#!/usr/bin/env bash
# Installs what QUAVREX needs to build and test on Debian 12, skipping what is there already.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools fonts-ipafont-gothic
  ffmpeg xvfb x11-utils xdotool
  libadplug-dev libsndfile1-dev libsoxr-dev qt6-multimedia-dev
  python3 python3-mido fluidsynth fluid-soundfont-gm pulseaudio pulseaudio-utils
  openttd-openmsx
  dpkg-dev fakeroot file lintian desktop-file-utils appstream help2man librsvg2-bin
  man-db shared-mime-info libglib2.0-bin
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update
"${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
