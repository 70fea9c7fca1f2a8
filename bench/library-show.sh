#!/usr/bin/env bash
# A library show with the real player on a private Xvfb (1024 x 768), at 10 and at 10,000 and
# 100,000 small pictures: 100 copies of one 64 x 48 red JPEG, hard-linked into every folder
# of 100 (so no file has more than a thousand names), in
# folders of years, months and days, made outside the repository and removed at the end.
# For each size, a cold start (no cache file; the kernel's page cache dropped too when we may)
# then a warm one (the cache file of the cold run): milliseconds from the start to the first
# picture on screen (the screen's centre polled until it turns red), the time until the cache
# file is written (the complete list, cold start), resident memory 4 seconds after the first
# picture and its peak, and the cache file's size.
#   bench/library-show.sh [BUILD_DIR]     (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
if [ -f "$build/CMakeCache.txt" ]; then
  cmake --build "$build" --target pictorelle pictorelle-pack >/dev/null
fi
work=$(mktemp -d /tmp/pictorelle-library-show-XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
convert -size 64x48 xc:'#dc1e1e' -quality 90 "$work/red.jpg"
mkdir "$work/day"
for i in $(seq 1 100); do cp "$work/red.jpg" "$work/day/$(printf IMG_%04d.jpg "$i")"; done

. bench/library-tree.sh
# The hundred copies linked into the folder, as many as it gets.
linked_pictures() {
  cp -al "$work/day"/. .
  if [ "$1" -lt 100 ]; then ls | sort | tail -n $((100 - $1)) | xargs rm -f; fi
}

Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1024x768x24 3>"$work/xdisplay" 2>/dev/null &
until [ -s "$work/xdisplay" ]; do sleep 0.1; done
display=:$(cat "$work/xdisplay")
red() { import -display "$display" -window root -crop 1x1+512+384 -depth 8 rgb:- 2>/dev/null |
  od -An -tu1 | tr -s ' ' | grep -q '^ 2[0-3][0-9] [1-4][0-9] [1-4][0-9]'; }
now() { date +%s%N; }
mkdir -m 700 "$work/run"

one_run() { # COUNT cold|warm
  local count=$1 kind=$2 start end show cachefile="" listed="-"
  local home="$work/home-$count"
  [ "$kind" = cold ] && rm -rf "$home" && drop_page_cache
  mkdir -p "$home"
  start=$(now)
  DISPLAY=$display QT_QPA_PLATFORM=xcb HOME="$home" XDG_CACHE_HOME="$home/cache" \
    XDG_CONFIG_HOME="$home/config" TMPDIR="$work" XDG_RUNTIME_DIR="$work/run" \
    "$work/show-$count.scr" /s >/dev/null 2>"$work/err-$count-$kind" &
  show=$!
  until red; do
    kill -0 "$show" 2>/dev/null || { echo "the show ended early" >&2; cat "$work/err-$count-$kind" >&2; exit 1; }
  done
  end=$(now)
  if [ "$kind" = cold ]; then
    until cachefile=$(ls "$home/cache/pictorelle"/library-*.cache 2>/dev/null); do
      [ $((($(now) - start) / 1000000000)) -lt 60 ] || break
      sleep 0.01
    done
    listed="$((($(now) - start) / 1000000)) ms"
  fi
  sleep 4
  local rss hwm
  rss=$(awk '$1 == "VmRSS:" {print $2}' "/proc/$show/status")
  hwm=$(awk '$1 == "VmHWM:" {print $2}' "/proc/$show/status")
  kill "$show"; wait "$show" 2>/dev/null || true
  cachefile=$(ls "$home/cache/pictorelle"/library-*.cache 2>/dev/null || true)
  printf '%6d pictures, %s: first picture %5d ms, complete list %s, resident %d MiB (peak %d MiB), cache %s bytes\n' \
    "$count" "$kind" $(((end - start) / 1000000)) "$listed" $((rss / 1024)) $((hwm / 1024)) \
    "$( [ -n "$cachefile" ] && stat -c %s "$cachefile" || echo none)"
}

echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
for count in 10 10000 100000; do
  make_library "$work/library-$count" "$count" linked_pictures
  "$build/bin/pictorelle-pack" --library "$work/library-$count" --recursive --seconds 60 \
    -o "$work/show-$count.scr" >/dev/null
  one_run "$count" cold
  one_run "$count" warm
done
