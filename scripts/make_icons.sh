#!/usr/bin/env bash
# Builds the icons in resources/ico/ from the Tango icon theme (public domain; Debian package
# tango-icon-theme). Needs rsvg-convert (librsvg2-bin) and ImageMagick's convert.
#
# Button icons are 16 px (the gear of the big Generate Code button 24 px), each with an @2x variant
# that QIcon picks up by itself on high-DPI screens. They come from Tango's hand-hinted 16 and 32 px bitmaps where those exist, since a scaled
# SVG is blurrier at these sizes. The window icon is a multi-size .ico (16 to 256 px): the hinted
# bitmaps for 16, 24 and 32 px, the SVG rendered for the larger sizes.
#
# Usage: scripts/make_icons.sh            (writes into resources/ico/ of this repository)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/resources/ico"
tango=${TANGO_DIR:-/usr/share/icons/Tango}

for tool in rsvg-convert convert; do
  command -v "$tool" >/dev/null || { echo "make_icons.sh: $tool is missing (apt-get install librsvg2-bin imagemagick)" >&2; exit 1; }
done
[ -d "$tango/scalable" ] || { echo "make_icons.sh: no Tango theme in $tango (apt-get install tango-icon-theme)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

# The Tango file for a size: the hinted bitmap when the theme has one, else the SVG rendered.
# $1 = theme path without size folder and extension (for example actions/document-new), $2 = pixels.
tango_png() {
  local name=$1 size=$2 dest=$3
  if [ -f "$tango/${size}x${size}/$name.png" ]; then
    cp "$tango/${size}x${size}/$name.png" "$dest"
  else
    rsvg-convert --width "$size" --height "$size" --keep-aspect-ratio "$tango/scalable/$name.svg" -o "$dest"
  fi
}

# Button icon: <target name> <Tango name> [pixels, 16 by default]
button_icon() {
  local target=$1 name=$2 size=${3:-16}
  tango_png "$name" "$size" "$out/$target.png"
  tango_png "$name" $((size * 2)) "$out/$target@2x.png"
}

button_icon document               actions/document-new
button_icon folder-horizontal-open actions/document-open
button_icon disk                   actions/document-save
button_icon disk--plus             actions/document-save-as
button_icon information            status/dialog-information
button_icon gear                   categories/applications-system 24 # the large Generate Code button

# Window icon: a radio mast sending waves, at every size Windows and the desktops ask for.
frames=()
for size in 16 24 32 48 64 128 256; do
  tango_png devices/network-wireless "$size" "$work/radio-$size.png"
  frames+=("$work/radio-$size.png")
done
# -strip keeps timestamps out, so that an unchanged theme gives byte-identical files.
convert "${frames[@]}" -strip "$out/code_radio.ico"

ls -l "$out"
