#!/usr/bin/env bash
# Builds the libFuzzer targets of both drivers (preset `fuzz`) and runs each for a
# bounded time from its seed corpus. Exits non-zero if any target finds a crash;
# the input that did it stays in build/fuzz/findings/<target>/.
# Usage: scripts/fuzz.sh [seconds per target, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

# libFuzzer ships with clang's runtime libraries, a package of its own on Debian.
TESTER_EXTRA_PACKAGES="clang libclang-rt-14-dev ${TESTER_EXTRA_PACKAGES:-}" scripts/bootstrap.sh
cmake --preset fuzz
cmake --build --preset fuzz

failed=0
for target in serial_driver_fuzz port_driver_fuzz; do
  findings="build/fuzz/findings/$target"
  rm -rf "$findings"
  mkdir -p "$findings/corpus"
  echo "== $target for ${seconds} s"
  # New inputs go to the scratch corpus named first; the seeds stay as they are.
  # A single input running past 30 s counts as a hang.
  status=0
  "build/fuzz/bin/$target" -max_total_time="$seconds" -timeout=30 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$findings/corpus" "tests/fuzz/corpus/$target" \
    >"$findings/log" 2>&1 || status=$?
  grep -E '^(stat::number_of_executed_units|stat::average_exec_per_sec|Done )' "$findings/log" || true
  if [ "$status" -ne 0 ]; then
    failed=1
    echo "$target FAILED (exit $status); its report:"
    grep -E 'broken:|ERROR:|SUMMARY:|Test unit written' "$findings/log" || tail -n 20 "$findings/log"
  fi
done
exit "$failed"
