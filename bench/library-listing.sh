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

. bench/library-tree.sh
# Empty files: the listing goes by the names alone.
empty_pictures() { seq -f "IMG_%04g.jpg" 1 "$1" | xargs touch; }

for count in 10000 100000; do
  library="$work/library-$count"
  make_library "$library" "$count" empty_pictures
  rm -rf "$work/cache"
  drop_page_cache
  printf '%6d pictures, cold: ' "$count"; "$bench" "$library" "$work/cache" 2>&1
  printf '%6d pictures, warm: ' "$count"; "$bench" "$library" "$work/cache" 2>&1
done
