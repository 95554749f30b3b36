#!/usr/bin/env bash
# Builds the libFuzzer targets (preset `fuzz`: clang, AddressSanitizer + UBSan, the
# plug-in's code against the in-memory platform) and runs each for SECONDS (default 30),
# starting from the checked-in seeds in tests/fuzz/corpus/. New inputs go to
# build/fuzz/work/TARGET, so the checked-in tree stays as it is; an input that finds
# something is kept as build/fuzz/work/TARGET-crash-... and fails the run.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$(pwd)
seconds=${1:-30}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(codec integer_text host_services commands dialogs)

scripts/setup.sh || exit 1
cmake --preset fuzz >/dev/null && cmake --build --preset fuzz || { echo "fuzz build failed"; exit 1; }

# Inputs longer than these say nothing new about what the target reads. A command
# sequence of 256 bytes is some fifty to a hundred steps: in 150 s from the seeds, 512
# reached no edge that 256 did not, at two thirds of the inputs per second.
declare -A max_len=([codec]=64 [integer_text]=48 [host_services]=1024 [commands]=256 [dialogs]=256)

failed=0
for target in "${targets[@]}"; do
  work="$root/build/fuzz/work/$target"
  mkdir -p "$work"
  log="$root/build/fuzz/work/$target.log"
  echo "== fuzz $target for ${seconds}s"
  "$root/build/fuzz/tests/fuzz/fuzz_$target" -max_total_time="$seconds" \
    -max_len="${max_len[$target]:-1024}" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$work-" "$work" "$root/tests/fuzz/corpus/$target" >"$log" 2>&1
  status=$?
  grep -E '^#[0-9]+[[:space:]]+DONE|^stat::number_of_executed_units' "$log" | sed 's/^/   /'
  if [ "$status" -ne 0 ]; then
    echo "   $target found something (exit $status):"
    grep -E 'finding:|ERROR:|SUMMARY:|Test unit written' "$log" | head -n 10 | sed 's/^/   | /'
    failed=$((failed + 1))
  fi
done
echo "fuzz: ${#targets[@]} targets, $failed found something"
[ "$failed" -eq 0 ]
