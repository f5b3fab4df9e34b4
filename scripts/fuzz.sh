#!/usr/bin/env bash
# make fuzz: builds the fuzz preset and runs every fuzz target for
# FUZZ_SECONDS seconds (default 120), two at a time, each from its seeds and
# from what earlier runs found (build/fuzz/corpus/<target>, kept between
# runs). A failing input is left as build/fuzz/findings/<target>-crash-*;
# the last line counts the targets that found something.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-120}
root=$PWD

cmake --preset fuzz >/dev/null && cmake --build --preset fuzz || exit 1
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
mkdir -p build/fuzz/findings build/fuzz/logs

run_one() {
  local fuzzer=$1 name
  name=$(basename "$fuzzer"); name=${name#fuzz_}
  mkdir -p "$root/build/fuzz/corpus/$name"
  if "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
       -artifact_prefix="$root/build/fuzz/findings/$name-" \
       "$root/build/fuzz/corpus/$name" "$root/fuzz/corpus/$name" >"$root/build/fuzz/logs/$name.log" 2>&1; then
    echo "$name: $(grep -o 'number_of_executed_units: *[0-9]*' "$root/build/fuzz/logs/$name.log" | grep -o '[0-9]*$') inputs, nothing found"
  else
    echo "$name: FOUND SOMETHING, see build/fuzz/logs/$name.log"
  fi
}
export -f run_one
export seconds root

ls build/fuzz/fuzz/fuzz_* | xargs -P 2 -I{} bash -c 'run_one {}' | tee build/fuzz/logs/summary.txt
found=$(grep -c FOUND build/fuzz/logs/summary.txt)
echo "fuzz: $found of $(wc -l <build/fuzz/logs/summary.txt) targets found something"
[ "$found" -eq 0 ]
