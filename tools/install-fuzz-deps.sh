#!/bin/sh
# Installs what the fuzz targets need on Debian 12: clang with its sanitizer
# and libFuzzer runtimes (tools/fuzz.sh builds and runs them).
set -e
SUDO=
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get install -y -qq -o DPkg::Lock::Timeout=600 --no-install-recommends \
  clang libfuzzer-14-dev libclang-rt-14-dev >/dev/null
