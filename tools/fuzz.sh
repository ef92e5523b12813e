#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of seconds
# (default 60). Does nothing when clang's fuzzer runtime is not installed.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

if ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  echo "fuzz: clang's libFuzzer runtime is not installed; skipping"
  exit 0
fi
if [ -z "$(ls tests/fuzz/*.cpp 2>/dev/null)" ]; then
  echo "fuzz: no fuzz targets"
  exit 0
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
for target in build/fuzz/tests/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus=build/fuzz/corpus/$name
  mkdir -p "$corpus"
  echo "fuzz: $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -print_final_stats=1 "$corpus" 2>&1 | tail -n 3
done
