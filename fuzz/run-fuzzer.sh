#!/usr/bin/env bash
# run-fuzzer.sh FUZZER SEEDS WORK [libFuzzer options...]
# Runs one fuzz target over its seed corpus SEEDS (read only). New inputs go
# to WORK/corpus, emptied first so that a run with -runs and -seed repeats
# exactly; a failing input is left in WORK as crash-*, leak-* or timeout-*.
set -euo pipefail
fuzzer=$1 seeds=$2 work=$3
shift 3
# The plug-ins' working folders go to memory when there is a tmpfs for them.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
rm -rf "$work/corpus"
mkdir -p "$work/corpus"
exec "$fuzzer" -artifact_prefix="$work/" -print_final_stats=1 "$@" "$work/corpus" "$seeds"
