#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the firmware checks need.
# Quick when everything is present: it asks dpkg first and calls apt-get only for what is missing.
set -euo pipefail

packages=(
  # generator
  cmake make g++ qtbase5-dev qtbase5-dev-tools libquazip1-qt5-dev
  # test projects generated for the library tests
  python3
  # window screenshots, manual checks, icon conversion
  xvfb xauth poppler-utils imagemagick librsvg2-bin tango-icon-theme zip unzip
  # fonts the user manual is rendered with
  fonts-dejavu-core
  # firmware checks of the generated library
  gcc-arm-none-eabi libnewlib-arm-none-eabi gcc-avr avr-libc binutils-avr
  arduino-builder arduino-core-avr arduino-ctags
  # host analysis of the library
  clang libclang-rt-14-dev valgrind
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
