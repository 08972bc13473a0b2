#!/bin/sh
# Builds the benchmark corpus in bench/corpus/ (git-ignored):
#   - the photographs shipped as JPEG in three Debian wallpaper packages,
#     unpacked from the .deb files (the packages are never installed);
#   - five 24.5 MP variants of one 8 MP camera photo, upscaled with djpeg and
#     re-encoded with cjpeg at quality 95: 4:2:0, 4:2:2, 4:4:4, progressive 4:2:0, and 4:2:0
#     with a restart marker after every MCU row.
# Idempotent: files already present are kept, so a second run does nothing.
# FORCE=1 rebuilds everything. CORPUS_DIR overrides the destination.
# Writes CORPUS_DIR/MANIFEST.txt (one bench/jpeg-header.py line per photo).
set -eu

BENCH_DIR=$(cd "$(dirname "$0")" && pwd)
CORPUS_DIR=${CORPUS_DIR:-$BENCH_DIR/corpus}
FORCE=${FORCE:-0}

SUDO=
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi

# Installs the Debian package PKG when command CMD is missing.
need() {
  if ! command -v "$1" >/dev/null 2>&1; then
    echo "make-corpus: installing $2 for $1" >&2
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "$2" >/dev/null
  fi
}
need cjpeg libjpeg-turbo-progs
need djpeg libjpeg-turbo-progs
need python3 python3

mkdir -p "$CORPUS_DIR"
if [ "$FORCE" = 1 ]; then rm -f "$CORPUS_DIR"/*.jpg "$CORPUS_DIR"/MANIFEST.txt; fi

# Package, path inside it, and the corpus name. The plasma wallpapers ship one
# real 2560x1600 file per theme (the other sizes are links to it).
SOURCES='
lomiri-wallpapers-16.04 usr/share/backgrounds/Bridge_by_Sander_Klootwijk.jpg lomiri-bridge.jpg
lomiri-wallpapers-16.04 usr/share/backgrounds/Dragonfly_by_Bolly.jpg lomiri-dragonfly.jpg
lomiri-wallpapers-16.04 usr/share/backgrounds/Picture_0B_by_freespace.jpg lomiri-picture-0b.jpg
lomiri-wallpapers-16.04 usr/share/backgrounds/Picture_1A_by_freespace.jpg lomiri-picture-1a.jpg
lomiri-wallpapers-16.04 usr/share/backgrounds/Wine_by_Jakkub_Mede.jpg lomiri-wine.jpg
lomiri-wallpapers-16.04 usr/share/backgrounds/aitzgorri_by_Aitzol_Berasategi.jpg lomiri-aitzgorri.jpg
lomiri-wallpapers-16.04 usr/share/backgrounds/analogpattern_by_Peter_Nerlich.jpg lomiri-analogpattern.jpg
lomiri-wallpapers-16.04 usr/share/backgrounds/free_by_Peter_Nerlich.jpg lomiri-free.jpg
lomiri-wallpapers-16.04 usr/share/backgrounds/friends_by_Aitzol_Berasategi.jpg lomiri-friends.jpg
lomiri-wallpapers-16.04 usr/share/backgrounds/greentock_by_Peter_Nerlich.jpg lomiri-greentock.jpg
lomiri-wallpapers-16.04 usr/share/backgrounds/life_by_Aitzol_Berasategi.jpg lomiri-life.jpg
lomiri-wallpapers-16.04 usr/share/backgrounds/picosdeeuropa_by_Aitzol_Berasategi.jpg lomiri-picosdeeuropa.jpg
lomiri-wallpapers-16.04 usr/share/backgrounds/seeding_by_Clements_Engelhardt.jpg lomiri-seeding.jpg
lomiri-wallpapers-16.04 usr/share/backgrounds/sunset_by_Aitzol_Berasategi.jpg lomiri-sunset.jpg
lomiri-wallpapers-16.04 usr/share/backgrounds/umang_by_Abhishek_Mudgal.jpg lomiri-umang.jpg
mate-backgrounds usr/share/backgrounds/mate/nature/Aqua.jpg mate-aqua.jpg
mate-backgrounds usr/share/backgrounds/mate/nature/Blinds.jpg mate-blinds.jpg
mate-backgrounds usr/share/backgrounds/mate/nature/Dune.jpg mate-dune.jpg
mate-backgrounds usr/share/backgrounds/mate/nature/FreshFlower.jpg mate-freshflower.jpg
mate-backgrounds usr/share/backgrounds/mate/nature/Garden.jpg mate-garden.jpg
mate-backgrounds usr/share/backgrounds/mate/nature/GreenMeadow.jpg mate-greenmeadow.jpg
mate-backgrounds usr/share/backgrounds/mate/nature/LadyBird.jpg mate-ladybird.jpg
mate-backgrounds usr/share/backgrounds/mate/nature/RainDrops.jpg mate-raindrops.jpg
mate-backgrounds usr/share/backgrounds/mate/nature/Storm.jpg mate-storm.jpg
mate-backgrounds usr/share/backgrounds/mate/nature/TwoWings.jpg mate-twowings.jpg
mate-backgrounds usr/share/backgrounds/mate/nature/Wood.jpg mate-wood.jpg
mate-backgrounds usr/share/backgrounds/mate/nature/YellowFlower.jpg mate-yellowflower.jpg
plasma-workspace-wallpapers usr/share/wallpapers/Autumn/contents/images/2560x1600.jpg plasma-autumn.jpg
plasma-workspace-wallpapers usr/share/wallpapers/BytheWater/contents/images/2560x1600.jpg plasma-bythewater.jpg
plasma-workspace-wallpapers usr/share/wallpapers/ColdRipple/contents/images/2560x1600.jpg plasma-coldripple.jpg
plasma-workspace-wallpapers usr/share/wallpapers/ColorfulCups/contents/images/2560x1600.jpg plasma-colorfulcups.jpg
plasma-workspace-wallpapers usr/share/wallpapers/DarkestHour/contents/images/2560x1600.jpg plasma-darkesthour.jpg
plasma-workspace-wallpapers usr/share/wallpapers/EveningGlow/contents/images/2560x1600.jpg plasma-eveningglow.jpg
plasma-workspace-wallpapers usr/share/wallpapers/FallenLeaf/contents/images/2560x1600.jpg plasma-fallenleaf.jpg
plasma-workspace-wallpapers usr/share/wallpapers/Grey/contents/images/2560x1600.jpg plasma-grey.jpg
plasma-workspace-wallpapers usr/share/wallpapers/Kite/contents/images/2560x1600.jpg plasma-kite.jpg
plasma-workspace-wallpapers usr/share/wallpapers/OneStandsOut/contents/images/2560x1600.jpg plasma-onestandsout.jpg
plasma-workspace-wallpapers usr/share/wallpapers/Path/contents/images/2560x1600.jpg plasma-path.jpg
plasma-workspace-wallpapers usr/share/wallpapers/summer_1am/contents/images/2560x1600.jpg plasma-summer-1am.jpg
'

# The re-encoded variants: corpus name and cjpeg options. The source is the
# most detailed photo (3264x2448 in 1.8 MB), scaled by 14/8 to 5712x4284, so
# the files are about as large as a 24 MP camera's (6-8 MB); 4284 is not a
# multiple of 16, so partial edge blocks are exercised too.
VARIANT_SOURCE=lomiri-picosdeeuropa.jpg
VARIANT_SCALE=14/8
VARIANT_QUALITY=95
VARIANTS='
big24mp-420.jpg -sample 2x2
big24mp-422.jpg -sample 2x1
big24mp-444.jpg -sample 1x1
big24mp-420-progressive.jpg -sample 2x2 -progressive
big24mp-420-restart.jpg -sample 2x2 -restart 1
'

WORK=$(mktemp -d "${TMPDIR:-/tmp}/pelmora-corpus.XXXXXX")
trap 'rm -rf "$WORK"' EXIT INT TERM

# Files of the package list that the corpus still lacks, per package.
missing_packages() {
  echo "$SOURCES" | while read -r pkg path name; do
    [ -n "$pkg" ] || continue
    [ -s "$CORPUS_DIR/$name" ] || echo "$pkg"
  done | sort -u
}

PACKAGES=$(missing_packages)
if [ -n "$PACKAGES" ]; then
  # apt-cache knows nothing before the first 'apt-get update'.
  first=$(echo "$PACKAGES" | head -n 1)
  if ! apt-cache show "$first" >/dev/null 2>&1; then $SUDO apt-get update -qq; fi
  for pkg in $PACKAGES; do
    if ! apt-cache show "$pkg" >/dev/null 2>&1; then
      echo "make-corpus: package $pkg is not known to apt; its photos are left out" >&2
      continue
    fi
    echo "make-corpus: fetching $pkg" >&2
    # apt-get download writes into the current folder; _apt must be able to
    # write there, or apt warns and downloads unsandboxed.
    chmod 0777 "$WORK"
    (cd "$WORK" && apt-get download -qq "$pkg")
    mkdir -p "$WORK/root"
    dpkg -x "$WORK/${pkg}"_*.deb "$WORK/root"
    rm -f "$WORK/${pkg}"_*.deb
  done
  echo "$SOURCES" | while read -r pkg path name; do
    [ -n "$pkg" ] || continue
    [ -s "$CORPUS_DIR/$name" ] && continue
    if [ -f "$WORK/root/$path" ]; then
      cp "$WORK/root/$path" "$CORPUS_DIR/.$name.part"
      mv "$CORPUS_DIR/.$name.part" "$CORPUS_DIR/$name"
    else
      echo "make-corpus: $pkg has no $path; left out" >&2
    fi
  done
fi

echo "$VARIANTS" | while read -r name options; do
  [ -n "$name" ] || continue
  [ -s "$CORPUS_DIR/$name" ] && continue
  if [ ! -s "$WORK/variant-source.ppm" ]; then
    echo "make-corpus: upscaling $VARIANT_SOURCE by $VARIANT_SCALE" >&2
    djpeg -scale "$VARIANT_SCALE" -ppm -outfile "$WORK/variant-source.ppm" "$CORPUS_DIR/$VARIANT_SOURCE"
  fi
  echo "make-corpus: encoding $name ($options)" >&2
  # shellcheck disable=SC2086 # options are meant to split
  cjpeg -quality "$VARIANT_QUALITY" $options -outfile "$CORPUS_DIR/.$name.part" "$WORK/variant-source.ppm"
  mv "$CORPUS_DIR/.$name.part" "$CORPUS_DIR/$name"
done

python3 "$BENCH_DIR/jpeg-header.py" "$CORPUS_DIR"/*.jpg \
  | sed "s|$CORPUS_DIR/||" >"$CORPUS_DIR/.MANIFEST.part"
mv "$CORPUS_DIR/.MANIFEST.part" "$CORPUS_DIR/MANIFEST.txt"
count=$(wc -l <"$CORPUS_DIR/MANIFEST.txt")
size=$(du -sh "$CORPUS_DIR" | cut -f1)
echo "make-corpus: $count photos, $size in $CORPUS_DIR" >&2
