#!/bin/sh
# Fails when a C++ file of the tree differs from the root .clang-format.
#   tools/check-format.sh         check (CI)
#   tools/check-format.sh --fix   format in place
set -e
cd "$(dirname "$0")/.."
if ! command -v clang-format >/dev/null; then
  SUDO=
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq -o DPkg::Lock::Timeout=600 \
    --no-install-recommends clang-format >/dev/null
fi
if [ "$1" = "--fix" ]; then
  git ls-files '*.cpp' '*.h' | xargs clang-format -i
else
  git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
fi
