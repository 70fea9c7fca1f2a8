#!/usr/bin/env bash
# Draws the fuzzers' starting corpora: a few small, valid pictures of every format (several
# encodings each, an animation for GIF) and a few manifests. Usage: make-picture-seeds.sh DIR
set -euo pipefail
out=$1
mkdir -p "$out"/{jpg,png,gif,tif,bmp,ico,manifest}
im() { convert "$@"; }
src="-size 23x17 gradient:red-blue"
im $src -quality 80 "$out/jpg/baseline.jpg"
im $src -interlace JPEG "$out/jpg/progressive.jpg"
im $src -colorspace Gray "$out/jpg/grey.jpg"
im $src -colorspace CMYK "$out/jpg/cmyk.jpg"
im $src "$out/png/rgb.png"
im $src -alpha set -channel A -evaluate set 50% +channel "$out/png/rgba.png"
im $src -colors 16 "PNG8:$out/png/palette.png"
im $src -interlace PNG "$out/png/interlaced.png"
im $src -depth 16 "PNG48:$out/png/deep.png"
im $src -colors 8 "$out/gif/still.gif"
im -delay 10 -loop 0 -size 9x7 xc:red xc:lime -page +3+2 xc:blue -dispose Background \
  "$out/gif/animation.gif"
im -size 9x7 xc:white -transparent white -fill black -draw 'point 3,3' "$out/gif/transparent.gif"
im $src -compress None "$out/tif/plain.tif"
im $src -compress LZW "$out/tif/lzw.tif"
im $src -compress Zip -define tiff:tile-geometry=16x16 "$out/tif/tiled.tif"
im $src -alpha set "$out/tif/rgba.tif"
im $src "BMP3:$out/bmp/rgb24.bmp"
im $src -alpha set "BMP:$out/bmp/argb.bmp"
im $src -colors 16 -type Palette "BMP3:$out/bmp/palette.bmp"
im -size 16x16 gradient:red-blue \( +clone -resize 8x8 \) "$out/ico/two.ico"
im -size 16x16 xc:orange "$out/ico/one.ico"
cat > "$out/manifest/full.json" <<'JSON'
{ "Header": { "Seconds": 4, "BackColor": "0x00301810", "AllowStandalone": true, "Loop": true },
  "Strings": { "SaverTitle": "Seed", "Effect": [69, 70], "AboutText": "About" },
  "Sections": { "Preview": "p.bmp", "Logo": "b.png", "Background": "a.jpg" },
  "Items": [ { "File": "a.jpg", "CaptionText": "One", "MaskIndex": 0, "EnterSoundIndex": 0 },
             { "File": "c.gif", "ItemEffect": [3], "ItemEffectSpeed": 2 } ],
  "Masks": [ { "File": "d.bmp", "MaskType": 0 } ],
  "EnterSounds": [ { "File": "s.wav" } ],
  "Melodies": [ { "File": "m.mid" } ],
  "CompressEntries": false }
JSON
printf '{}' > "$out/manifest/empty.json"
# Once escaped the reader as a stray exception instead of a manifest error.
printf '{ "Header": { "Seconds": 66E33333333 } }' > "$out/manifest/overflow.json"
printf '{ "Items": [ { "File": "a.jpg" } ] }' > "$out/manifest/one.json"
# Files the fuzzers once failed on, each kept by a regression test too.
found=$(dirname "$0")/found
for d in "$found"/*/; do cp "$d"* "$out/$(basename "$d")/"; done
