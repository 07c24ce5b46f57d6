#!/bin/sh
# Installs the Debian 12 packages the build, the show and the tests need.
# Does nothing (and needs no network) when they are all present already.
set -e

PACKAGES="build-essential cmake pkg-config
  freeglut3-dev libglew-dev libglu1-mesa-dev libgl1-mesa-dri
  libsdl1.2-dev libsdl-image1.2-dev libmpg123-dev libmp3lame-dev
  libfreetype-dev fonts-dejavu-core libstb-dev libpng-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev clang
  ccache libx11-dev xvfb xauth xdotool x11-utils openbox assimp-utils imagemagick sox ffmpeg
  dpkg-dev strace groff-base desktop-file-utils"

missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

echo "installing:$missing"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
