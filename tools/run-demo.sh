#!/usr/bin/env bash
# The README's run command: the newest end-to-end thing the project can do.
set -euo pipefail
build=${1:-build/default}
echo "HalvBSL: built in $build. Nothing to run yet."
