#!/usr/bin/env bash
# run-fuzzer.sh FUZZER SEEDS WORK [libFuzzer options...]
# Runs one fuzz target over its seed corpus SEEDS (read only). New inputs go
# to WORK/corpus, emptied first so that a run with -runs and -seed repeats
# exactly; a failing input is left in WORK as crash-*, leak-* or timeout-*.
# The number of inputs run goes to WORK/runs, for the reliability table.
set -euo pipefail
fuzzer=$1 seeds=$2 work=$3
shift 3
# The plug-ins' working folders go to memory when there is a tmpfs for them.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
rm -rf "$work/corpus"
mkdir -p "$work/corpus"
rm -f "$work/runs"
set +e
"$fuzzer" -artifact_prefix="$work/" -print_final_stats=1 "$@" "$work/corpus" "$seeds" 2>&1 | tee "$work/log"
status=${PIPESTATUS[0]}
set -e
grep -o 'number_of_executed_units: *[0-9]*' "$work/log" | grep -o '[0-9]*$' >"$work/runs" || true
exit "$status"
