#!/bin/sh
# Runs the fault campaign: SEEDS whole updates of the simulated Pumatic with
# random faults, from seed FIRST (default 100 seeds from 1); with --sensor the
# digital-sensor update through the simulated reader. Prints the table of
# outcomes by fault kind and every problem with its seed; exits 1 when a seed
# broke a promise. BUILD_DIR picks the build (default build/default).
#   tools/fault-campaign.sh 5000
#   tools/fault-campaign.sh 1 893      # one seed again
#   tools/fault-campaign.sh --sensor 2000
set -eu
cd "$(dirname "$0")/.."
sensor=
if [ "${1:-}" = "--sensor" ]; then
  sensor=--sensor
  shift
fi
seeds=${1:-100}
first=${2:-1}
build=${BUILD_DIR:-build/default}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target halv-fault-campaign -j2 >/dev/null
exec "$build/tests/campaign/halv-fault-campaign" $sensor "$seeds" "$first"
