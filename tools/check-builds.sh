#!/bin/sh
# The builds users and packagers make, warnings shown but not turned into
# errors (tools/run-tests.sh builds with them as errors). Programs and tools
# only, no test suites:
#   gcc-release  GCC, Release (-O3), prefix /usr as debian/ configures it:
#                installed into a stage with DESTDIR, the staged files
#                compared with the package's list, the staged pelmora-crop
#                run on a photo, the menu entry validated
#   clang        Clang (tools/install-fuzz-deps.sh installs it), Debug
#   tools/check-builds.sh [gcc-release] [clang]     (default: both)
# Build folders: build-gcc-release/ and build-clang/.
set -e
cd "$(dirname "$0")/.."
ROOT=$(pwd)

fail() {
  echo "check-builds: $*" >&2
  exit 1
}

# build FOLDER CMAKE-OPTION...
build() {
  dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja -DPELMORA_BUILD_TESTS=OFF "$@" >/dev/null
  if ! cmake --build "$dir" >"$dir/build.log" 2>&1; then
    grep -E "error|FAILED" "$dir/build.log" | head -40 >&2
    fail "the build in $dir failed (log: $dir/build.log)"
  fi
  warnings=$(grep -c "warning:" "$dir/build.log" || true)
  grep "warning:" "$dir/build.log" | head -20
  echo "check-builds: $dir built, $warnings warnings"
}

gcc_release() {
  dir=build-gcc-release
  CC=gcc CXX=g++ build "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr
  stage=$ROOT/$dir/stage
  rm -rf "$stage"
  DESTDIR=$stage cmake --install "$dir" >/dev/null
  (cd "$stage" && find . ! -type d | sort) >"$dir/staged.txt"
  cat >"$dir/expected.txt" <<'EOF'
./usr/bin/pelmora-crop
./usr/lib/pelmora/licensef.txt
./usr/lib/pelmora/licensef_e.txt
./usr/lib/pelmora/pelmora-crop
./usr/lib/pelmora/pelmora-crop-formats.so
./usr/lib/pelmora/pelmora.bin
./usr/lib/pelmora/zureda
./usr/share/applications/pelmora.desktop
./usr/share/icons/hicolor/128x128/apps/pelmora.png
./usr/share/man/man1/pelmora-crop.1
./usr/share/metainfo/example.quorvane.pelmora.metainfo.xml
EOF
  diff -u "$dir/expected.txt" "$dir/staged.txt" || fail "the staged files differ from the package's list"
  [ "$(readlink "$stage/usr/bin/pelmora-crop")" = ../lib/pelmora/pelmora-crop ] ||
    fail "usr/bin/pelmora-crop is not a link into usr/lib/pelmora"
  grep -qx "Exec=/usr/lib/pelmora/zureda" "$stage/usr/share/applications/pelmora.desktop" ||
    fail "the menu entry does not start /usr/lib/pelmora/zureda"
  desktop-file-validate "$stage/usr/share/applications/pelmora.desktop"

  # The optimised tool crops: a 48 x 16 photo cut at (16, 0), 16 x 16.
  work=$ROOT/$dir/crop-check
  rm -rf "$work"
  mkdir -p "$work/out"
  { printf 'P6\n48 16\n255\n'; head -c 2304 /dev/zero | tr '\0' '\200'; } >"$work/photo.ppm"
  cjpeg -quality 90 "$work/photo.ppm" >"$work/photo.jpg"
  "$stage/usr/bin/pelmora-crop" --quiet -o "$work/out" -r 16x16+16+0 "$work/photo.jpg" >/dev/null
  [ "$(djpeg -pnm "$work/out/photo.jpg" | sed -n 2p)" = "16 16" ] ||
    fail "the staged pelmora-crop did not write a 16 x 16 crop"
  echo "check-builds: $dir staged as the package installs it, and its pelmora-crop crops"
}

clang_debug() {
  command -v clang++ >/dev/null || fail "clang++ is missing (tools/install-fuzz-deps.sh)"
  CC=clang CXX=clang++ build build-clang -DCMAKE_BUILD_TYPE=Debug
}

for config in ${*:-gcc-release clang}; do
  case $config in
    gcc-release) gcc_release ;;
    clang) clang_debug ;;
    *) fail "unknown build $config (gcc-release, clang)" ;;
  esac
done
