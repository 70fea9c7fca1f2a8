#!/usr/bin/env bash
# Peak resident memory (VmHWM) of a full-screen show of large HEIC photos on a private Xvfb of
# 3840 x 2160: three 12-megapixel photos (4032 x 3024) and one of 24 megapixels (6000 x 4000),
# made here with ImageMagick and heif-enc, packed from their folder, each on screen for 2
# seconds, played for DURATION seconds (default 90: every photo at least twice on a loaded
# machine). Prints the peak and the resident memory every 10 seconds; the show must write
# nothing on standard error (a skipped photo would). The photos are coded in 8 bits, as phones
# write them; DEPTH=16 gives heif-enc 16-bit sources, which it codes in 10 bits.
#   [DEPTH=8|16] bench/heic-show-memory.sh [BUILD_DIR]     (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
duration=${DURATION:-90}
if [ -f "$build/CMakeCache.txt" ]; then
  cmake --build "$build" --target pictorelle pictorelle-pack >/dev/null
fi
work=$(mktemp -d /tmp/pictorelle-heic-XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/pics"

# Photo-like: a gradient with grain, so that the encoder makes a file of a realistic size.
photo() { # name, size, two colours
  convert -size "$2" gradient:"$3"-"$4" -attenuate 0.4 +noise Gaussian -depth "${DEPTH:-8}" "$work/$1.png"
  heif-enc -q 80 -p preset=ultrafast "$work/$1.png" -o "$work/pics/$1.heic" >/dev/null
  rm "$work/$1.png"
}
photo a 4032x3024 '#203060' '#e0c080'
photo b 4032x3024 '#602010' '#80e0c0'
photo c 3024x4032 '#106020' '#c080e0'
photo d 6000x4000 '#404040' '#f0f0a0'
ls -l "$work/pics" | tail -n +2 | awk '{print "  " $5 " bytes  " $9}'
"$build/bin/pictorelle-pack" --pictures "$work/pics" --seconds 2 -o "$work/show.scr" >/dev/null

Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 3840x2160x24 3>"$work/xdisplay" 2>/dev/null &
until [ -s "$work/xdisplay" ]; do sleep 0.1; done
mkdir -m 700 "$work/run"
DISPLAY=:$(cat "$work/xdisplay") QT_QPA_PLATFORM=xcb HOME="$work" TMPDIR="$work" XDG_RUNTIME_DIR="$work/run" \
  "$work/show.scr" /s >"$work/out" 2>"$work/err" &
show=$!
field() { awk -v f="$1:" '$1 == f {print $2}' "/proc/$show/status" 2>/dev/null || echo 0; }
for t in $(seq 1 "$duration"); do
  sleep 1
  kill -0 "$show" 2>/dev/null || { echo "the show ended early" >&2; cat "$work/err" >&2; exit 1; }
  [ $((t % 10)) -eq 0 ] && echo "  ${t} s: resident $(($(field VmRSS) / 1024)) MiB"
done
echo "peak resident memory: $(($(field VmHWM) / 1024)) MiB ($(field VmHWM) KiB)"
kill "$show"; wait "$show" 2>/dev/null || true
if [ -s "$work/err" ]; then echo "standard error:" >&2; cat "$work/err" >&2; exit 1; fi
