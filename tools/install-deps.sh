#!/bin/sh
# Installs what Pelmora needs to build, test and run on Debian 12.
set -e
SUDO=
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq -o DPkg::Lock::Timeout=600
$SUDO apt-get install -y -qq -o DPkg::Lock::Timeout=600 --no-install-recommends \
  cmake ninja-build g++ pkg-config \
  qt6-base-dev qt6-qpa-plugins qt6-translations-l10n \
  libjpeg62-turbo-dev libjpeg-turbo-progs \
  libgtest-dev libgmock-dev libstb-dev \
  xvfb xauth xdotool x11-utils fonts-ipafont-gothic fonts-liberation2 \
  exfat-fuse exfatprogs parallel \
  man-db desktop-file-utils appstream >/dev/null

