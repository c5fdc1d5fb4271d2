#!/usr/bin/env bash
# The README's run command: starts a simulated Pumatic on a pseudo-terminal,
# connects the loader host to it, shows what the device saw and stops the
# simulator again. No display and no hardware needed.
set -euo pipefail
build=${1:-build/default}
sim=$build/tools/sim/halvsim
demo=$build/tools/demo/halvbsl-demo
for exe in "$sim" "$demo"; do
  if [[ ! -x $exe ]]; then
    echo "run-demo: $exe is missing; build first (make build)" >&2
    exit 1
  fi
done

work=$(mktemp -d)
pid=
cleanup() {
  if [[ -n $pid ]]; then
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

"$sim" --kind pumatic --transcript "$work/transcript.jsonl" --dump "$work/dump.txt" \
  >"$work/halvsim.out" 2>"$work/halvsim.err" &
pid=$!
# The simulator prints its terminal's path on its first line.
for _ in $(seq 50); do
  [[ -s $work/halvsim.out ]] && break
  sleep 0.1
done
pty=$(head -n1 "$work/halvsim.out")
if [[ -z $pty ]]; then
  echo "run-demo: the simulator did not start:" >&2
  cat "$work/halvsim.err" >&2
  exit 1
fi
echo "== A simulated Pumatic runs on $pty"

rc=0
"$demo" connect "$pty" || rc=$?

kill -TERM "$pid"
wait "$pid" || rc=$?
pid=
echo "== What the device saw (transcript):"
sed 's/^/   /' "$work/transcript.jsonl"
echo "== The device at the end:"
head -n 6 "$work/dump.txt" | sed 's/^/   /'
exit "$rc"
