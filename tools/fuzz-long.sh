#!/usr/bin/env bash
# Long fuzzing runs: each named target (all of them by default) for the given
# number of seconds, one after another at low priority. The corpus grows in
# build/fuzz/corpus-work/TARGET (started from the committed seeds and kept
# between runs); crashes, leaks and slow inputs go to
# build/fuzz/crashes/TARGET/. Needs the fuzz preset built first:
#   tools/bootstrap.sh fuzz && cmake --preset fuzz && cmake --build --preset fuzz
# Usage: tools/fuzz-long.sh [seconds] [target...]
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${HALV_FUZZ_BUILD:-$root/build/fuzz}
seconds=${1:-600}
shift || true
if [ $# -eq 0 ]; then
  set -- $(cd "$root/fuzz/corpus" && ls)
fi

summary=()
status=0
for name in "$@"; do
  target=$build/fuzz/$name
  if [ ! -x "$target" ]; then
    echo "fuzz-long: $name is not built ($target)" >&2
    status=1
    continue
  fi
  work=$build/corpus-work/$name
  crashes=$build/crashes/$name
  mkdir -p "$work" "$crashes"
  log=$build/crashes/$name.log
  echo "fuzz-long: $name for ${seconds}s (log $log)"
  start=$(date +%s)
  # The time-out is wall time: a run at low priority on a busy machine can
  # wait many seconds for the processor, so it is set well above what any
  # input needs (each takes milliseconds).
  nice -n 19 "$target" -max_total_time="$seconds" -timeout=300 -max_len=4096 \
    -print_final_stats=1 -artifact_prefix="$crashes/" "$work" "$root/fuzz/corpus/$name" \
    >"$log" 2>&1
  rc=$?
  ran=$(($(date +%s) - start))
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
  if [ $rc -eq 0 ]; then
    summary+=("$name: clean for ${ran}s, ${execs:-?} inputs, corpus $(ls "$work" | wc -l)")
  else
    summary+=("$name: FAILED after ${ran}s (exit $rc), see $log and $crashes")
    status=1
  fi
done

printf '%s\n' "${summary[@]}"
exit $status
