#!/usr/bin/env bash
# The README's run command: starts a simulated Pumatic on a pseudo-terminal,
# updates it with halvbsl-cli, shows what the device holds afterwards and
# stops the simulator again. No display and no hardware needed.
set -euo pipefail
build=${1:-build/default}
sim=$build/tools/sim/halvsim
cli=$build/src/cli/halvbsl-cli
for exe in "$sim" "$cli"; do
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
window=$build/src/gui/halvbsl
if [[ -n ${DISPLAY:-}${WAYLAND_DISPLAY:-} && -x $window ]]; then
  # The window finds the simulator's terminal through HALVBSL_PORTS and
  # selects it as the remembered port of a settings store of the demo's own.
  mkdir -p "$work/config/Halvard Devices, Inc"
  printf '[General]\nCommPort=%s\n' "$pty" >"$work/config/Halvard Devices, Inc/HalvBSL.conf"
  echo "== The window opens with $pty selected: press Start, and close it when done."
  XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" HALVBSL_PORTS="$pty" "$window" || rc=$?
else
  # No display: the same update from the command line.
  XDG_DATA_HOME="$work/data" "$cli" update --port "$pty" --yes || rc=$?
fi
echo "== The error log of the run is kept in $work/data/Halvard/HalvBSL (removed at exit):"
tail -n 3 "$work/data/Halvard/HalvBSL/Pumatic Firmware Updater.errors.txt" 2>/dev/null | sed 's/^/   /' || true

kill -TERM "$pid"
wait "$pid" || rc=$?
pid=
echo "== What the device saw: $(wc -l <"$work/transcript.jsonl") exchanges; the first and last:"
head -n 3 "$work/transcript.jsonl" | sed 's/^/   /'
tail -n 3 "$work/transcript.jsonl" | sed 's/^/   /'
echo "== The device at the end:"
head -n 8 "$work/dump.txt" | sed 's/^/   /'
exit "$rc"
