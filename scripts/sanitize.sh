#!/usr/bin/env bash
# Everything once more, built with clang's AddressSanitizer and UndefinedBehaviorSanitizer:
# the tests, the zanto-sim scenarios and the soak. Any memory error, undefined behaviour or
# leak stops the run and fails it.
# usage: scripts/sanitize.sh   (builds in $ZANTO_ASAN_BUILD, build-asan/ unless set)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
need_packages cmake make clang libclang-rt-14-dev llvm libgtest-dev googletest time
build=${ZANTO_ASAN_BUILD:-build-asan}
jobs=$(nproc)
start=$SECONDS

export ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

echo "== sanitizers: build"
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZANTO_SANITIZE=ON -DZANTO_TESTS=ON -DZANTO_WERROR=ON \
  >/dev/null
cmake --build "$build" -j"$jobs"
echo "== sanitizers: tests and the zanto-sim scenarios"
(cd "$build" && ctest --output-on-failure -j"$jobs")
echo "== sanitizers: soak"
scripts/soak.sh "$build/zanto-sim"
echo "== sanitizers: all clean in $((SECONDS - start)) s"
