#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, only those
# that are missing, so that a second run costs nothing.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config clang-format
  libgtest-dev libgmock-dev libbenchmark-dev srecord
  qt6-base-dev python3
  dpkg-dev lintian desktop-file-utils appstream help2man librsvg2-bin man-db file
)
# "tools/bootstrap.sh fuzz" adds clang and its libFuzzer runtime for the fuzz
# preset; the ordinary builds do not need them.
if [ "${1:-}" = "fuzz" ]; then
  packages+=(clang-14 libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "bootstrap: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
