#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: unit, window and end-to-end tests in
# build/, the engine's unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer
# with the pixel kernels' plain code only (no SSE2 or AVX2 paths) in build-asan/, the threaded
# engine tests under ThreadSanitizer in build-tsan/, and a short fuzzing run of each fuzz
# target (package reader, decoders, manifest reader) in build-fuzz/.
set -uo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh || exit 1
jobs=$(nproc)
log=$(mktemp)
trap 'rm -f "$log"' EXIT

step() { echo; echo "== $*"; }
fail() { echo "FAILED: $*"; exit 1; }

step "build"
bash scripts/build.sh || fail "build"
step "tests (unit, ui, e2e)"
(cd build && ctest --output-on-failure -j"$jobs") | tee -a "$log"
[ "${PIPESTATUS[0]}" -eq 0 ] || main_failed=1

step "engine unit tests under AddressSanitizer and UndefinedBehaviorSanitizer, plain pixel kernels"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPICTORELLE_ENGINE_ONLY=ON \
  -DPICTORELLE_SANITIZE=ON -DPICTORELLE_SCALAR_ONLY=ON -DPICTORELLE_WERROR=ON >/dev/null ||
  fail "configure build-asan"
cmake --build build-asan || fail "build-asan"
(cd build-asan && ctest -L unit --output-on-failure -j"$jobs") | tee -a "$log"
[ "${PIPESTATUS[0]}" -eq 0 ] || asan_failed=1

step "threaded engine tests under ThreadSanitizer"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPICTORELLE_ENGINE_ONLY=ON \
  -DPICTORELLE_TSAN=ON -DPICTORELLE_WERROR=ON >/dev/null || fail "configure build-tsan"
cmake --build build-tsan --target pictorelle-unit-tests || fail "build-tsan"
(cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest -L unit -R 'Transition|Random|Store|Library' \
  --output-on-failure -j"$jobs") | tee -a "$log"
[ "${PIPESTATUS[0]}" -eq 0 ] || tsan_failed=1

step "short fuzzing runs: package reader, picture decoders, manifest reader"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DPICTORELLE_FUZZ=ON \
  -DPICTORELLE_WERROR=ON >/dev/null || fail "configure build-fuzz"
cmake --build build-fuzz || fail "build-fuzz"
(cd build-fuzz && ctest -L fuzz --output-on-failure) | tee -a "$log"
[ "${PIPESTATUS[0]}" -eq 0 ] || fuzz_failed=1

# One closing line over all three runs.
passed=0; failed=0
while read -r p f; do passed=$((passed + p)); failed=$((failed + f)); done < <(
  sed -nE 's/^[0-9]+% tests passed, ([0-9]+) tests? failed out of ([0-9]+).*/\2 \1/p' "$log" |
    awk '{print $1 - $2, $2}')
echo
echo "tests: $passed passed, $failed failed"
[ -z "${main_failed:-}${asan_failed:-}${tsan_failed:-}${fuzz_failed:-}" ] && [ "$failed" -eq 0 ]
