#!/usr/bin/env bash
# Installs the Debian packages Ambertrace needs to build, run and test.
# Only what is missing is installed; sudo is used when not running as root.
set -euo pipefail

packages=(
    # build
    cmake make g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    # meters on serial ports
    qt6-serialport-dev
    # run time: image formats for schematics (WebP, GIF, JPEG), TLS for the online requests
    qt6-image-formats-plugins libqt6network6 ca-certificates
    # reading the job back out of a report (zlib); test fixtures: compressed answers and many-scan
    # JPEGs made by the tests themselves
    zlib1g-dev libjpeg-dev
    # headless runs, screenshots and report checks
    xvfb xauth poppler-utils imagemagick fonts-dejavu-core
    # packaging checks
    desktop-file-utils appstream dpkg-dev file
    # fuzzing, sanitizers and the formatting check
    clang libclang-rt-14-dev clang-format
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    if [[ "$status" != "install ok installed" ]]; then
        missing+=("$p")
    fi
done

if [[ ${#missing[@]} -eq 0 ]]; then
    exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo=""
if [[ $(id -u) -ne 0 ]]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
