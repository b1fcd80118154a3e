#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test:
#  1. the release build and its unit tests;
#  2. a clang build with AddressSanitizer and UndefinedBehaviorSanitizer that runs the unit
#     tests again and every fuzz target for a few seconds over its committed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)

scripts/build.sh
ctest --test-dir build -j"$jobs" --output-on-failure --timeout 900

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export RUTMOOR_FUZZ_SECONDS=${RUTMOOR_FUZZ_SECONDS:-4}
cmake -S . -B build-san -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_C_FLAGS=-O1 -DCMAKE_CXX_FLAGS=-O1 \
      -DRUTMOOR_SANITIZE=ON -DRUTMOOR_FUZZ=ON -DRUTMOOR_BENCH=OFF -DRUTMOOR_GAME=OFF >/dev/null
cmake --build build-san -j"$jobs"
ctest --test-dir build-san -j"$jobs" --output-on-failure --timeout 1800
