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
  emscripten chromium chromium-driver python3-selenium
)

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive

# The web build (scripts/web.sh) compiles libraries from Debian's source packages, which
# apt-get source finds only through a source entry: one for Debian's archive is added when the
# system has none.
updated=0
if ! grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s %s-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$codename" "$codename" | "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/quavrex-sources.sources >/dev/null
  "${sudo_cmd[@]}" apt-get update
  updated=1
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
[ "$updated" -eq 1 ] || "${sudo_cmd[@]}" apt-get update
"${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
