#!/usr/bin/env bash
# Time from starting a library show of 100,000 pictures to its first picture on screen, on a
# private Xvfb: cold (no cache file: the folder is listed while the show starts) and warm (the
# cache file of the run before). The pictures are hard links of a small red PNG, 100 to a
# folder in folders of years, months and days, made outside the repository and removed at the
# end. The screen's centre is polled with ImageMagick's import until it turns red.
#   bench/library-start.sh [BUILD_DIR] [COUNT]     (default build, 100000)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
count=${2:-100000}
maker="$build/bin/pictorelle-library-show-maker"
[ -x "$maker" ] || cmake --build "$build" --target pictorelle-library-show-maker >/dev/null
work=$(mktemp -d /tmp/pictorelle-library-start-XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$work/lib" "$work/home" "$work/cache" "$work/config"
convert -size 64x48 xc:'#dc1e1e' "$work/red.png"
python3 - "$work" "$count" <<'PY'
import os, shutil, sys
work, count = sys.argv[1], int(sys.argv[2])
made, year = 0, 2000
while made < count:
    for month in range(1, 13):
        for day in range(1, 29):
            if made >= count:
                break
            folder = f"{work}/lib/{year}/{month:02d}/{day:02d}"
            os.makedirs(folder)
            n = min(100, count - made)
            # A file takes at most 65,000 links on most file systems: a copy every 50,000.
            source = f"{work}/red-{made // 50000}.png"
            if not os.path.exists(source):
                shutil.copy(f"{work}/red.png", source)
            for k in range(1, n + 1):
                os.link(source, f"{folder}/IMG_{k:04d}.png")
            made += n
    year += 1
PY
"$maker" "$build/bin/pictorelle" "$work/lib" "$work/show.scr"
now() { date +%s%N; }

Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 3>"$work/xdisplay" 2>/dev/null &
until [ -s "$work/xdisplay" ]; do sleep 0.1; done
xdisplay=:$(cat "$work/xdisplay")
red() { import -display "$xdisplay" -window root -crop 1x1+512+384 -depth 8 rgb:- 2>/dev/null |
  od -An -tu1 | tr -s ' ' | grep -q '^ 220 30 30'; }

one_run() { # label
  local start end pid
  start=$(now)
  env DISPLAY="$xdisplay" QT_QPA_PLATFORM=xcb HOME="$work/home" TMPDIR="$work/home" \
    XDG_CACHE_HOME="$work/cache" XDG_CONFIG_HOME="$work/config" "$work/show.scr" /s \
    >/dev/null 2>&1 &
  pid=$!
  until red; do :; done
  end=$(now)
  # The listing finishes and writes its cache before the show ends.
  sleep 4
  kill "$pid"; wait "$pid" 2>/dev/null || true
  echo "$1: first picture after $(((end - start) / 1000000)) ms"
}

echo "$count pictures; load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
sync; { echo 3 >/proc/sys/vm/drop_caches; } 2>/dev/null && echo "(page cache dropped)" || true
one_run "cold, no cache"
one_run "warm, cache"
rm -rf "${work:?}/cache"/*
one_run "no cache, page cache warm"
