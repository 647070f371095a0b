#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program. Without a display
# (no DISPLAY or WAYLAND_DISPLAY) it runs the program under a virtual X server
# instead and saves a picture of its window (shots/ferrovane-window.png, or
# the file named by FERROVANE_SHOT).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
build_dir=${BUILD_DIR:-build}
app="$build_dir/src/app/ferrovane"
if [ ! -x "$app" ]; then
  echo "Built the core libraries and their tests; the window is not there yet."
  exit 0
fi
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$app"
fi

shot=${FERROVANE_SHOT:-shots/ferrovane-window.png}
mkdir -p "$(dirname "$shot")"
shot="$(cd "$(dirname "$shot")" && pwd)/$(basename "$shot")"
grabber="$build_dir/src/app/ferrovane-screenshot"
echo "No display found: starting Ferrovane under Xvfb to take a picture of its window."
unset QT_QPA_PLATFORM
# The program runs until its picture is taken and is then ended with SIGTERM,
# which closes it as a user would: it writes its settings (the build folder
# as the output folder, say). A temporary HOME keeps the user's own settings
# out of this run, neither read nor changed.
home=$(mktemp -d /tmp/ferrovane-home.XXXXXX)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  "$1" & pid=$!
  sleep "${FERROVANE_SHOT_DELAY:-4}"
  status=0
  if kill -0 "$pid" 2>/dev/null; then
    "$2" --screen "$3" || status=$?
    kill "$pid" 2>/dev/null || true
  else
    echo "Ferrovane ended before its window could be captured." >&2
    status=1
  fi
  wait "$pid" 2>/dev/null || true
  exit "$status"
' run-under-xvfb "$app" "$grabber" "$shot"
echo "Saved a picture of the window: $shot"
