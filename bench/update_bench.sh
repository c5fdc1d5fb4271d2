#!/usr/bin/env bash
# Runs a whole Pumatic update with halvbsl-cli against halvsim pacing the wire
# at 9600 baud, and sets the time it took against what the wire and the
# protocol's fixed waits allow (the device itself answers at once, so what is
# left over is the updater's own). Prints figures; fails nothing.
#   bench/update_bench.sh [build folder]
set -euo pipefail
build=${1:-build/default}
sim=$build/tools/sim/halvsim
cli=$build/src/cli/halvbsl-cli
for exe in "$sim" "$cli"; do
  [[ -x $exe ]] || { echo "update_bench: $exe is missing; build first" >&2; exit 1; }
done

work=$(mktemp -d)
pid=
cleanup() {
  [[ -n $pid ]] && { kill -TERM "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; }
  rm -rf "$work"
}
trap cleanup EXIT

"$sim" --kind pumatic --pace --transcript "$work/t.jsonl" >"$work/sim.out" &
pid=$!
for _ in $(seq 50); do [[ -s $work/sim.out ]] && break; sleep 0.1; done
pty=$(head -n1 "$work/sim.out")

TIMEFORMAT='%R %U %S'
{ time XDG_DATA_HOME="$work/data" "$cli" update --port "$pty" --yes --log "$work/log.txt" \
    >"$work/cli.out" 2>&1 ; } 2>"$work/time.txt"
read -r real user sys <"$work/time.txt"

# Bytes both ways, from the device's transcript (JSON strings, escapes counted
# once each).
bytes=$(python3 - "$work/t.jsonl" <<'PY'
import json, sys
total = 0
for line in open(sys.argv[1]):
    total += len(json.loads(line).get("text", ""))
print(total)
PY
)
waited_ms=$(sed -n 's/.*Fixed waits of the run: \([0-9]*\) ms.*/\1/p' "$work/log.txt" | tail -n1)
python3 - "$real" "$user" "$sys" "$bytes" "${waited_ms:-0}" <<'PY'
import sys
real, user, sys_, nbytes, waited_ms = map(float, sys.argv[1:])
wire = nbytes * 10 / 9600
waits = waited_ms / 1000
print(f"total seconds:            {real:8.2f}")
print(f"wire-limit seconds:       {wire:8.2f}  ({int(nbytes)} bytes both ways at 9600 baud)")
print(f"prescribed waits seconds: {waits:8.2f}")
print(f"ratio total/(wire+waits): {real / (wire + waits):8.3f}  (goal: 1.02 or less)")
cpu = user + sys_
print(f"updater CPU seconds:      {cpu:8.2f}  ({100 * cpu / real:.1f} % of the wall time; goal: under 5 %)")
PY
