#!/usr/bin/env bash
# Builds every target and runs its tests: native directly, panel under
# qemu-arm, pc under wine, then the bench build (native, no sanitizers) whose
# test holds the plug-ins' instruction counts to their budgets under
# callgrind, and the fuzz build (native, clang) whose tests run every fuzz
# target for a fixed number of inputs. Fails when any build fails or runs no
# test, and ends with one line that counts the tests of all builds.
set -uo pipefail
cd "$(dirname "$0")/.."

targets=(native panel pc bench fuzz)
total_passed=0
total_failed=0
status=0

for t in "${targets[@]}"; do
  echo "=== $t: configure and build"
  if ! cmake --preset "$t" >/dev/null || ! cmake --build --preset "$t"; then
    echo "=== $t: build failed"
    status=1
    total_failed=$((total_failed + 1))
    continue
  fi
  echo "=== $t: test"
  log=$(mktemp)
  ctest --preset "$t" 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  rm -f "$log"
  if [ -z "$summary" ]; then
    echo "=== $t: ran no test"
    status=1
    total_failed=$((total_failed + 1))
    continue
  fi
  failed=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$summary")
  out_of=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$summary")
  if [ "$out_of" -eq 0 ]; then
    echo "=== $t: ran no test"
    status=1
  fi
  [ "$rc" -eq 0 ] || status=1
  total_passed=$((total_passed + out_of - failed))
  total_failed=$((total_failed + failed))
  echo "=== $t: $((out_of - failed)) of $out_of test programs passed"
done

echo "tests: $total_passed passed, $total_failed failed"
exit $status
