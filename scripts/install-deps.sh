#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Skips what is already installed; works as root or through sudo; fails loudly.
set -euo pipefail

PACKAGES=(
  cmake g++ make pkg-config
  # lld links the many test programs several times quicker than the default linker
  lld
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev
  libffms2-dev libavformat-dev libavcodec-dev libavutil-dev libswscale-dev
  # sound: the movie's audio track and the click sound; a sound server to try it without a card
  qt6-multimedia-dev libswresample-dev pulseaudio pulseaudio-utils
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-liberation
  # the installed tree's checks and cpack -G DEB (dpkg-shlibdeps)
  desktop-file-utils shared-mime-info dpkg-dev
  # ./fuzz.sh and CI's sanitizer build: clang, its runtimes (libFuzzer, ASan, UBSan) and
  # llvm-symbolizer for readable reports
  clang libclang-rt-dev llvm
  # the web player's tests: node runs them and drives Debian's Chromium headless
  nodejs chromium
  # trying the web player as a user: a virtual screen, real mouse input, screenshots
  xvfb xdotool imagemagick
)
# Debian's nodejs ships npm as a package of its own; a nodejs that brings npm needs none.
if ! command -v npm >/dev/null 2>&1; then PACKAGES+=(npm); fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#PACKAGES[@]} packages present"
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  SUDO=()
elif command -v sudo >/dev/null 2>&1; then
  SUDO=(sudo)
else
  echo "install-deps: need root or sudo to install: ${missing[*]}" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if ! "${SUDO[@]}" apt-get update -q; then
  echo "install-deps: apt-get update failed" >&2
  exit 1
fi
if ! "${SUDO[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"; then
  echo "install-deps: apt-get install failed for: ${missing[*]}" >&2
  exit 1
fi
echo "install-deps: done"
