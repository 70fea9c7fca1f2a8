#!/usr/bin/env bash
# Generates the demo show's pictures and packs them: make-demo.sh OUTDIR PACKER PLAYER
# Everything is drawn here, so the show needs no downloads and no committed pictures.
set -euo pipefail
out=$1 packer=$2 player=$3
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
cd "$out"

convert -size 1600x900 gradient:'#0b1d51'-'#5fa8d3' -rotate 0 \
  \( -size 1600x300 gradient:'#f4a259'-'#0b1d51' \) -gravity south -composite dawn.jpg
convert -size 1024x768 radial-gradient:'#fdf0d5'-'#780000' -swirl 120 swirl.png
convert -size 800x600 pattern:checkerboard -fill '#2a9d8f' -tint 100 -scale 400% \
  -crop 800x600+0+0 +repage tiles.tiff
convert -size 640x480 xc:'#264653' -fill '#e9c46a' -draw 'circle 320,240 320,60' \
  -fill '#e76f51' -draw 'rectangle 60,60 200,420' sun.gif
convert -seed 7 -size 1280x720 plasma:'#3a0ca3'-'#f72585' -blur 0x2 bmp3:plasma.bmp
# The logo is drawn on magenta, the colour the show keys out, without smoothing so that no
# magenta fringe is left; the mask lets the plasma through an ellipse.
convert -size 120x60 xc:'#ff00ff' +antialias -fill '#ffffff' \
  -draw 'roundrectangle 0,0 119,59 12,12' -fill '#1d3557' -draw 'circle 60,30 60,10' logo.png
convert -size 1280x720 xc:black -fill white -draw 'ellipse 640,360 600,330 0,360' -blur 0x8 \
  oval.png
convert -size 152x112 gradient:'#0b1d51'-'#5fa8d3' bmp3:preview.bmp
# The music: a short MIDI tune (one track, a vibraphone, twelve quarter notes at 120 beats a
# minute) written byte by byte, and a soft MP3 chord; a chime as the second picture's sound.
{
  printf 'MThd\x00\x00\x00\x06\x00\x00\x00\x01\x00\x60'
  printf 'MTrk\x00\x00\x00\x67\x00\xc0\x0b'
  for note in 3c 40 43 48 43 40 3e 41 45 4a 45 41; do
    printf "\\x00\\x90\\x$note\\x60\\x60\\x80\\x$note\\x40"
  done
  printf '\x00\xff\x2f\x00'
} > tune.mid
sox -q -n -r 44100 -c 2 pad.wav synth 6 sine 220 sine 330 fade 1 6 1 vol 0.3
lame --silent pad.wav pad.mp3
sox -q -n -r 44100 chime.wav synth 0.4 sine 1046 fade 0 0.4 0.3 vol 0.5
cp "$here/manifest.json" manifest.json
"$packer" manifest.json -o demo.scr --player "$player"
