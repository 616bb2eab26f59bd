#!/usr/bin/env bash
# Installs the Debian 12 packages Velmora needs to build, run and test. Works as root or with sudo.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
    build-essential cmake ninja-build pkg-config git ca-certificates \
    qt6-base-dev libgl-dev libfreetype-dev libfontconfig-dev libjpeg62-turbo-dev libturbojpeg0-dev libgif-dev libexif-dev \
    libcairo2-dev \
    fonts-liberation2 fonts-dejavu-core \
    libgtest-dev libgmock-dev googletest libbenchmark-dev \
    xvfb xauth xclip \
    poppler-utils desktop-file-utils appstream time \
    clang libclang-rt-14-dev clang-format
