# Shared by the library benchmarks (sourced): a library of COUNT pictures named IMG_nnnn.jpg,
# 100 to a folder in folders of years, months and days, as cameras and photo tools lay them out.
# FILL is run in each folder with the number of pictures it gets (1 to 100) and makes them.
make_library() { # FOLDER COUNT FILL
  local folder=$1 count=$2 fill=$3 made=0
  for ((year = 2000; made < count; year++)); do
    for ((month = 1; month <= 12 && made < count; month++)); do
      for ((day = 1; day <= 28 && made < count; day++)); do
        local dir="$folder/$year/$(printf %02d $month)/$(printf %02d $day)"
        mkdir -p "$dir"
        local n=$((count - made < 100 ? count - made : 100))
        (cd "$dir" && "$fill" "$n")
        made=$((made + n))
      done
    done
  done
}

# The kernel's page cache dropped, when we may: a cold start reads the folders from the disk.
drop_page_cache() {
  sync
  { echo 3 >/proc/sys/vm/drop_caches; } 2>/dev/null && echo "(page cache dropped)" || true
}
