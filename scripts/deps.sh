#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the window need,
# when any of them is missing. Runs apt-get as root, through sudo otherwise.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libasound2-dev
  libblkid-dev
  liburing-dev libaio-dev fio
  xvfb xauth fonts-dejavu-core
  e2fsprogs util-linux
  fuse3 libfuse3-dev
  clang libclang-rt-dev
  desktop-file-utils appstream dpkg-dev lintian
  python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  as_root=()
else
  as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
