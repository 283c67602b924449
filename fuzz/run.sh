#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) and
# fuzzes each for SECONDS, both at once, starting from the corpus in fuzz/corpus/. Any finding
# fails the run: a crash, a sanitizer report, a leak, a broken invariant, an input that takes
# more than 10 s or 2 GB. The finding is kept as fuzz-TARGET-* in the build folder.
#
# What a run learns stays in the build folder's corpus/, and the next run there starts from it
# too. With --grow, a run that found nothing then merges it into fuzz/corpus/, minimised: the
# fewest inputs that together reach every feature the corpus and the run reached (libFuzzer's
# -set_cover_merge, the -merge that picks by set cover: half the files of a plain -merge).
# Seeds with names of their own are kept whatever they add; those libFuzzer found (named by
# their SHA-1) are replaced.
# usage: fuzz/run.sh [--grow] [SECONDS]   (60 unless given; 0 with --grow: merge only;
#                                           builds in $ZANTO_FUZZ_BUILD, else build-fuzz/)
set -euo pipefail
cd "$(dirname "$0")/.."
grow=0
if [ "${1:-}" = --grow ]; then
  grow=1
  shift
fi
seconds=${1:-60}
source scripts/deps.sh
need_packages cmake make clang libclang-rt-14-dev llvm
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
failed=0
if [ "$seconds" -gt 0 ]; then
  echo "== fuzz: ${seconds} s each"
  pids=()
  for target in "${targets[@]}"; do
    # New inputs go to the first folder: the seeds stay as they are.
    mkdir -p "$build/corpus/$target"
    "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$build/fuzz-$target-" \
      "$build/corpus/$target" "fuzz/corpus/$target" >"$build/$target.log" 2>&1 &
    pids+=($!)
  done
  for i in "${!targets[@]}"; do
    target=${targets[$i]}
    if wait "${pids[$i]}"; then
      runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/$target.log")
      cover=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$build/$target.log" | tail -n 1)
      echo "ok   $target: $runs executions, $((runs / seconds)) a second, $cover"
    else
      echo "FAIL $target"
      grep -v -e '^#' -e '^INFO' "$build/$target.log" | tail -n 60
      failed=1
    fi
  done
fi

if [ "$grow" = 1 ] && [ "$failed" = 0 ]; then
  echo "== fuzz: the corpus merged into fuzz/corpus/, minimised"
  for target in "${targets[@]}"; do
    seeds=fuzz/corpus/$target
    # What libFuzzer finds is named by the SHA-1 of its bytes; seeds have names of their own.
    sha1='.*/[0-9a-f]{40}'
    merged=$(mktemp -d)
    find "$seeds" -maxdepth 1 -regextype posix-extended -type f ! -regex "$sha1" \
      -exec cp -t "$merged" {} +
    mkdir -p "$build/corpus/$target"
    if ! "$build/fuzz/$target" -set_cover_merge=1 -timeout=10 -rss_limit_mb=2048 \
      "$merged" "$seeds" "$build/corpus/$target" >"$build/$target.merge.log" 2>&1; then
      echo "FAIL $target: merge"
      tail -n 30 "$build/$target.merge.log"
      rm -rf "$merged"
      exit 1
    fi
    find "$seeds" -maxdepth 1 -regextype posix-extended -type f -regex "$sha1" -delete
    cp -n "$merged"/* "$seeds"/
    rm -rf "$merged"
    echo "     $target: $(find "$seeds" -type f | wc -l) files, $(du -sb "$seeds" | cut -f1) bytes"
  done
fi
echo "== fuzz: done in $((SECONDS - start)) s"
exit $failed
