#!/usr/bin/env bash
# usage: scripts/fetch-photos.sh [FOLDER]
# Photographs for the benchmark, in FOLDER (default build/photos, never
# committed): the baseline JPEG photographs of two Debian wallpaper packages,
# fetched with apt-get download, and two of them re-encoded with cjpeg at
# quality 75, 90 and 95 in 4:2:0, 4:2:2, 4:4:4 and grey: the 2560x1600
# LadyBird and the 6028x3391 Kleiber scaled to 3840x2160. Five photographs
# come as shipped; four lose their Exif segment (jpegtran -copy none, same
# coefficients, standard Huffman tables), whose thumbnail the decoder's marker
# search would take for the picture; Kleiber, above the decoder's 2^23 pixels,
# is cut losslessly to its central 3840x2160. Does nothing when FOLDER is
# complete already.
set -euo pipefail
cd "$(dirname "$0")/.."
folder=${1:-build/photos}
fail() { echo "fetch-photos: $*" >&2; exit 1; }
[[ -f $folder/complete ]] && exit 0
for tool in apt-get dpkg-deb djpeg cjpeg jpegtran identify convert; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/setup.sh)"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && apt-get download mate-backgrounds lomiri-wallpapers-20.04) >"$work/apt.log" 2>&1 ||
  fail "apt-get download mate-backgrounds lomiri-wallpapers-20.04 failed: $(grep -m1 '^E:' "$work/apt.log" || tail -n1 "$work/apt.log")"
for deb in "$work"/*.deb; do dpkg-deb -x "$deb" "$work/root"; done

rm -rf "$folder"
mkdir -p "$folder"
shipped() {  # shipped PATH NAME SUFFIX [JPEGTRAN_OPTION...]: NAME_WxH_SUFFIX.jpg
  local from=$work/root/usr/share/backgrounds/$1 name=$2 suffix=$3 size
  shift 3
  if (($#)); then
    jpegtran "$@" "$from" >"$work/lossless.jpg" || fail "jpegtran failed on $name"
    from=$work/lossless.jpg
  fi
  size=$(identify -format '%wx%h' "$from") || fail "cannot read $name"
  cp "$from" "$folder/${name}_${size}_$suffix.jpg"
}
for name in Aqua Garden LadyBird TwoWings YellowFlower; do
  shipped "mate/nature/$name.jpg" "$name" shipped
done
for name in Blinds RainDrops Storm Wood; do
  shipped "mate/nature/$name.jpg" "$name" noexif -copy none
done
shipped Kleiber_by_Lukas_Baubkus.jpg Kleiber crop -copy none -crop 3840x2160+1088+616

reencode() {  # reencode PPM NAME_WxH: the 12 re-encodes of one picture
  local quality sampling
  for quality in 75 90 95; do
    for sampling in 420:2x2 422:2x1 444:1x1; do
      cjpeg -quality "$quality" -sample "${sampling#*:}" "$1" >"$folder/${2}_${sampling%:*}_q$quality.jpg" ||
        fail "cjpeg failed on $2"
    done
    cjpeg -quality "$quality" -grayscale "$1" >"$folder/${2}_grey_q$quality.jpg" || fail "cjpeg failed on $2"
  done
}
djpeg -ppm "$work/root/usr/share/backgrounds/mate/nature/LadyBird.jpg" >"$work/ladybird.ppm" ||
  fail "djpeg failed on LadyBird"
reencode "$work/ladybird.ppm" LadyBird_2560x1600
convert "$work/root/usr/share/backgrounds/Kleiber_by_Lukas_Baubkus.jpg" -resize '3840x2160^' -gravity center \
  -extent 3840x2160 "ppm:$work/kleiber.ppm" || fail "convert failed on Kleiber"
reencode "$work/kleiber.ppm" Kleiber_3840x2160
touch "$folder/complete"
