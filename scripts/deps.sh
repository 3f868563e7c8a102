#!/usr/bin/env bash
# Installs the Debian packages that zeph needs and that are missing.
# Usage: scripts/deps.sh run|test
set -euo pipefail

build_packages=(cmake ninja-build g++ pkg-config libncurses-dev libsdl2-dev libx11-dev libfreetype-dev
                libfontconfig-dev libpng-dev libchafa-dev fonts-liberation ccache libsndfile1-dev
                libsamplerate0-dev libcairo2-dev libsleef-dev)
test_packages=(libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev tmux sox python3-numpy
               python3-scipy xvfb xauth x11-apps x11-utils imagemagick libwmf-bin fonts-urw-base35
               xterm xdotool libsixel-bin fonts-dejavu-core libfftw3-dev man-db groff-base bsdextrautils
               dpkg-dev librsvg2-bin poppler-utils opus-tools hyperfine time parallel lintian
               pulseaudio alsa-utils)

wanted=("${build_packages[@]}")
if [ "${1:-run}" = test ]; then
  wanted+=("${test_packages[@]}")
fi

missing=()
for package in "${wanted[@]}"; do
  # Removed but not purged packages still answer dpkg -s: ask for the installed state.
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
