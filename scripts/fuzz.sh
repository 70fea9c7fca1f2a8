#!/usr/bin/env bash
# Fuzzes every target for a long time: scripts/fuzz.sh [SECONDS per target, default 600]
# [TARGETS at once, default 1]. Builds build-fuzz/ (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer), runs the targets, keeps what they find in
# build-fuzz/tests/fuzz/corpus/, crashes in build-fuzz/tests/fuzz/crashes/, and prints
# executions and coverage per target.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
jobs=${2:-1}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DPICTORELLE_FUZZ=ON \
  -DPICTORELLE_WERROR=ON >/dev/null || exit 1
cmake --build build-fuzz || exit 1
dir=build-fuzz/tests/fuzz
mkdir -p "$dir/logs" "$dir/crashes"
targets="package_reader:package-reader-fuzzer:package manifest:manifest-fuzzer:manifest"
for f in jpg png gif tif bmp ico; do targets+=" decoder_$f:decoder-$f-fuzzer:$f"; done
# The memory limits the build chose for every target (PICTORELLE_FUZZ_MEMORY_MB), and the
# sanitizer's options that go with them.
{ read -r -a limits && read -r asan; } <"$dir/fuzz-limits" || exit 1
export ASAN_OPTIONS=$asan

run() {
  IFS=: read -r name binary seed <<<"$1"
  mkdir -p "$dir/corpus/$name"
  build-fuzz/bin/$binary -max_total_time="$seconds" "${limits[@]}" -timeout=20 \
    -print_final_stats=1 -artifact_prefix="$dir/crashes/$name-" \
    "$dir/corpus/$name" "$dir/seeds/$seed" >"$dir/logs/$name.log" 2>&1
  echo $? >"$dir/logs/$name.rc"
}
for t in $targets; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n; done
  run "$t" &
done
wait

failed=0
printf '%-16s %12s %10s %8s %s\n' target executions exec/s cov result
for t in $targets; do
  name=${t%%:*}
  log="$dir/logs/$name.log"
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  cov=$(grep -oE 'cov: [0-9]+' "$log" | tail -1 | cut -d' ' -f2)
  result=ok; [ "$(cat "$dir/logs/$name.rc")" -eq 0 ] || { result="FAILED (see $log)"; failed=1; }
  printf '%-16s %12s %10s %8s %s\n' "$name" "${execs:-?}" "${rate:-?}" "${cov:-?}" "$result"
done
exit $failed
