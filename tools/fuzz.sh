#!/usr/bin/env bash
# Builds the libFuzzer targets (tests/fuzz/fuzz_*.cpp) with clang, replays each one's checked-in
# corpus (tests/fuzz/corpus/<target>: seeds and every input that ever crashed it), then fuzzes it.
#   tools/fuzz.sh [SECONDS] [NAME=SECONDS ...]
# SECONDS (default 60) is every target's run time; NAME=SECONDS gives one target its own.
# Does nothing when clang's fuzzer runtime is not installed. Fails when any corpus input fails or
# the fuzzing finds a crash, printing the end of that target's output; a new crash input is kept as
# build/fuzz/<target>-crash-* and joins tests/fuzz/corpus/<target>/ with its fix.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
declare -A own
for pair in "$@"; do own[${pair%%=*}]=${pair#*=}; done

if ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  echo "fuzz: clang's libFuzzer runtime is not installed; skipping"
  exit 0
fi
if [ -z "$(ls tests/fuzz/fuzz_*.cpp 2>/dev/null)" ]; then
  echo "fuzz: no fuzz targets"
  exit 0
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
status=0
for target in build/fuzz/tests/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  time=${own[$name]:-$seconds}
  seeds=tests/fuzz/corpus/$name
  corpus=build/fuzz/corpus/$name
  log=build/fuzz/$name.log
  mkdir -p "$corpus"
  inputs=()
  [ -d "$seeds" ] && mapfile -t inputs < <(find "$seeds" -type f | sort)
  if [ ${#inputs[@]} -gt 0 ] && ! "$target" "${inputs[@]}" >"$log" 2>&1; then
    echo "fuzz: $name FAILED on its corpus"
    tail -n 80 "$log"
    status=1
    continue
  fi
  if "$target" -max_total_time="$time" -print_final_stats=1 -artifact_prefix="build/fuzz/$name-" \
       "$corpus" ${inputs:+"$seeds"} >"$log" 2>&1; then
    echo "fuzz: $name: ${#inputs[@]} corpus inputs replayed," \
      "$(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$') runs in ${time}s, no failure"
  else
    echo "fuzz: $name FAILED"
    tail -n 80 "$log"
    status=1
  fi
done
exit $status
