#!/usr/bin/env bash
# A library show's listing at 10,000 and 100,000 pictures: empty files named .jpg (the listing
# goes by extension alone), 100 to a folder in folders of years and months, made outside the
# repository and removed at the end. Each size is listed twice: cold (no cache file; the
# kernel's page cache dropped too when we may) and warm (the cache file of the first run).
#   bench/library-listing.sh [BUILD_DIR]     (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
bench="$build/bin/pictorelle-library-bench"
[ -x "$bench" ] || cmake --build "$build" --target pictorelle-library-bench >/dev/null
work=$(mktemp -d /tmp/pictorelle-library-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT

make_library() { # FOLDER COUNT
  local folder=$1 count=$2 made=0
  for ((year = 2000; made < count; year++)); do
    for ((month = 1; month <= 12 && made < count; month++)); do
      for ((day = 1; day <= 28 && made < count; day++)); do
        local dir="$folder/$year/$(printf %02d $month)/$(printf %02d $day)"
        mkdir -p "$dir"
        local n=$((count - made < 100 ? count - made : 100))
        (cd "$dir" && seq -f "IMG_%04g.jpg" 1 "$n" | xargs touch)
        made=$((made + n))
      done
    done
  done
}

drop_page_cache() {
  sync
  { echo 3 >/proc/sys/vm/drop_caches; } 2>/dev/null && echo "(page cache dropped)" || true
}

for count in 10000 100000; do
  library="$work/library-$count"
  make_library "$library" "$count"
  rm -rf "$work/cache"
  drop_page_cache
  printf '%6d pictures, cold: ' "$count"; "$bench" "$library" "$work/cache" 2>&1
  printf '%6d pictures, warm: ' "$count"; "$bench" "$library" "$work/cache" 2>&1
done
