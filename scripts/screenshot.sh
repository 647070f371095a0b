#!/usr/bin/env bash
# Saves one PNG per tab of the window (at the minimum size and at a larger
# size) into a folder, under a virtual X display and with a temporary HOME,
# so that the user's own settings are neither read nor changed; then the same
# pictures at twice the pixel density (QT_SCALE_FACTOR=2) into its 2x/ folder,
# to show how the window looks on a high-density screen.
#   bash scripts/screenshot.sh [folder]     (default: a new temporary folder)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
shot="$build_dir/src/app/ferrovane-screenshot"
if [ ! -x "$shot" ]; then
  bash scripts/deps.sh
  bash scripts/build.sh
fi
out=${1:-$(mktemp -d /tmp/ferrovane-shots.XXXXXX)}
mkdir -p "$out"
out=$(cd "$out" && pwd)
home=$(mktemp -d /tmp/ferrovane-home.XXXXXX)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share"
unset QT_QPA_PLATFORM
# xvfb-run picks a free display number and removes the server afterwards.
xvfb-run -a -s "-screen 0 1280x1024x24" "$shot" "$out" >/dev/null
# At 2x the screen is doubled too, so that the window fits as it does at 1x.
QT_SCALE_FACTOR=2 xvfb-run -a -s "-screen 0 2560x2048x24" "$shot" "$out/2x" >/dev/null
echo "Screenshots saved in $out (and at twice the pixel density in $out/2x):"
ls -1 "$out" "$out/2x"
