#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) and
# fuzzes each for SECONDS, both at once, starting from the seed corpus in fuzz/corpus/. Any
# finding fails the run: a crash, a sanitizer report, a leak, a broken invariant, an input that
# takes more than 10 s or 2 GB. The finding is kept as fuzz-TARGET-* in the build folder.
# usage: fuzz/run.sh [SECONDS]   (60 unless given; builds in $ZANTO_FUZZ_BUILD, build-fuzz/)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
need_packages cmake make clang libclang-rt-14-dev llvm
seconds=${1:-60}
build=$(realpath -m "${ZANTO_FUZZ_BUILD:-build-fuzz}")
targets=(quotes_file_fuzz tray_messages_fuzz)
start=$SECONDS

echo "== fuzz: build"
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZANTO_SANITIZE=ON -DZANTO_FUZZ=ON -DZANTO_TESTS=OFF \
  >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
echo "== fuzz: ${seconds} s each"
pids=()
for target in "${targets[@]}"; do
  # The seeds stay as they are; what the fuzzer learns goes to a corpus of this build.
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/fuzz-$target-" \
    "$corpus" "fuzz/corpus/$target" >"$build/$target.log" 2>&1 &
  pids+=($!)
done
failed=0
for i in "${!targets[@]}"; do
  target=${targets[$i]}
  if wait "${pids[$i]}"; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/$target.log")
    cover=$(grep -o 'cov: [0-9]*' "$build/$target.log" | tail -n 1)
    echo "ok   $target: $runs executions, $cover"
  else
    echo "FAIL $target"
    grep -v -e '^#' -e '^INFO' "$build/$target.log" | tail -n 60
    failed=1
  fi
done
echo "== fuzz: done in $((SECONDS - start)) s"
exit $failed
