#!/usr/bin/env bash
# Saves pictures of the window (idle, a run in progress, the success state
# and an error box) on a virtual X display, with a simulated Pumatic.
#   tools/screenshots.sh [BUILD_DIR] [OUT_DIR]
# Without Xvfb (Debian package xvfb) it installs it; when that is not
# possible it draws the window on the offscreen platform instead.
set -euo pipefail
build=${1:-build/default}
out=${2:-$build/screenshots}

cmake --build "$build" --target gui_screenshots -j2
program="$build/tests/gui/gui_screenshots"

if ! command -v Xvfb >/dev/null 2>&1; then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  echo "screenshots: installing xvfb"
  if ! { "${sudo_cmd[@]}" apt-get update -qq &&
         DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq \
           --no-install-recommends xvfb xauth; }; then
    echo "screenshots: no Xvfb; drawing offscreen (no screen around the window)"
    QT_QPA_PLATFORM=offscreen "$program" "$out"
    exit 0
  fi
fi

# A free display number.
display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  sleep 0.1
done

# The settings store and data folder of these runs stay out of the user's.
scratch=$(mktemp -d)
trap 'kill "$xvfb_pid" 2>/dev/null || true; rm -rf "$scratch"' EXIT
DISPLAY=":$display" QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$scratch/config" \
  XDG_DATA_HOME="$scratch/data" "$program" "$out"
echo "screenshots: saved in $out"
