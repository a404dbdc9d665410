#!/usr/bin/env bash
# Installs what building, running and testing the tool needs on Debian 12.
# Safe to run again: it only calls apt-get when a package is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang
  qt6-base-dev qt6-svg-dev libqt6svg6 libgl-dev
  qt6-wayland  # the window on a Wayland desktop, Debian 12's default session
  weston  # tests only: the end-to-end test on a headless Wayland compositor
  libfontconfig-dev  # the program reads the font configuration ahead at start-up
  nlohmann-json3-dev libjpeg62-turbo-dev libgtest-dev libgmock-dev libbenchmark-dev
  libyuv-dev  # benchmarks only: the reference the YUY2 conversion is measured against
  libxcb-damage0-dev  # benchmarks only: start-up seen from outside through X damage reports
  valgrind strace  # benchmarks only: instructions of a refresh tick, its looks at a camera file
  fonts-crosextra-carlito xvfb xauth x11-utils xdotool imagemagick
  dpkg-dev file desktop-file-utils appstream hyperfine
  systemd  # systemd-analyze verifies the user unit; installing it starts nothing
  v4l-utils ffmpeg jq  # tests only: the kernel's compliance suite and other programs on the emulated cameras
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  if [[ $(id -u) -ne 0 ]]; then
    echo "Missing packages; run this as root (or with sudo) to install them." >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
