#!/usr/bin/env bash
# make reliability: the figures of the README's "Reliability" section, from
# runs anyone can repeat:
#   - every fuzz target for its fixed number of inputs (the fuzz preset's
#     tests), and the longer runs of `make fuzz` where build/fuzz/logs holds them;
#   - the fault sweeps of the native tests, counted per plug-in;
#   - a soak of SOAK_MESSAGES messages (default 3000) with seed SOAK_SEED (1).
# Prints the tables in Markdown; fails when any of the runs fails.
set -uo pipefail
cd "$(dirname "$0")/.."
messages=${SOAK_MESSAGES:-3000}
seed=${SOAK_SEED:-1}
status=0
out=$(mktemp)

echo "=== fuzz targets" >&2
{ cmake --preset fuzz >/dev/null && cmake --build --preset fuzz >&2 && ctest --preset fuzz >&2; } || status=1
echo "=== fault sweeps (native tests)" >&2
{ cmake --preset native >/dev/null && cmake --build --preset native >&2 &&
  ctest --preset native -E 'soak|serial_path' >&2; } || status=1
echo "=== soak" >&2
export TMPDIR=${TMPDIR:-/dev/shm}
[ -d "$TMPDIR" ] || unset TMPDIR
./build/native/tools/panelsim/panelsim soak --messages "$messages" --seed "$seed" >"$out" || status=1

echo "### Fuzzing"
echo
echo "| target | inputs per CI run | inputs in the last \`make fuzz\` |"
echo "|---|---:|---:|"
for d in build/fuzz/fuzz-runs/*/; do
  name=$(basename "$d")
  ci=$(cat "$d/runs" 2>/dev/null || echo "-")
  long=$(grep -o 'number_of_executed_units: *[0-9]*' "build/fuzz/logs/$name.log" 2>/dev/null | grep -o '[0-9]*$' || echo "-")
  echo "| $name | $ci | ${long:--} |"
done
echo
echo "### Fault points exercised per plug-in"
echo
echo "Each point is one run with the Nth call of its kind failing, once or from there on."
echo
echo "| plug-in | allocations | file operations | register accesses | total |"
echo "|---|---:|---:|---:|---:|"
cat build/native/reliability/*.tsv | awk -F'\t' '
  { n[$1 "\t" $2] += $3; p[$1] = 1 }
  END {
    for (x in p) {
      a = n[x "\talloc"] + 0; f = n[x "\tfile"] + 0; r = n[x "\tregister"] + 0
      printf "| %s | %d | %d | %d | %d |\n", x, a, f, r, a + f + r
    }
  }' | sort
echo
echo "### Soak"
echo
echo '```'
cat "$out"
echo '```'
rm -f "$out"
exit $status
