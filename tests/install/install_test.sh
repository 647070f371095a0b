#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks what a desktop needs
# of it: the program alone in bin/, the menu entry, the icon that entry names,
# the metadata with an entry for this version, and both files passing their
# validators when those are installed.
#   install_test.sh <build folder> <cmake> <version>
set -euo pipefail
build=$1 cmake=$2 version=$3
app_id=example.quillmark.Ferrovane
dest=$(mktemp -d /tmp/ferrovane-install.XXXXXX)
trap 'rm -rf "$dest"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$dest" "$cmake" --install "$build" --prefix /usr >/dev/null
root="$dest/usr"

# Only the programs go to bin/ (the window and the command-line tool): no
# screenshot tool, tests or benchmarks.
bins=$(cd "$root/bin" && ls -A | tr '\n' ' ')
[ "$bins" = "ferrovane ferrovane-cli " ] || fail "bin/ holds: $bins"
[ -f "$root/share/man/man1/ferrovane-cli.1" ] || fail "no man page ferrovane-cli.1"
[ -x "$root/bin/ferrovane" ] || fail "bin/ferrovane is not executable"

desktop="$root/share/applications/$app_id.desktop"
[ -f "$desktop" ] || fail "no desktop entry $desktop"
grep -qx 'Exec=ferrovane' "$desktop" || fail "the entry does not start ferrovane without arguments"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -n "$icon" ] || fail "the desktop entry names no icon"
hicolor="$root/share/icons/hicolor"
[ -f "$hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon $icon.svg"
for size in 16 24 32 48 64 128 256; do
  png="$hicolor/${size}x${size}/apps/$icon.png"
  [ -f "$png" ] || fail "no icon $png"
  # The PNG header holds width and height as 32-bit big-endian numbers.
  dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}')
  [ "$dims" = "${size}x${size}" ] || fail "$png is $dims"
done

metainfo="$root/share/metainfo/$app_id.metainfo.xml"
[ -f "$metainfo" ] || fail "no metadata $metainfo"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
  fail "the metadata does not name the desktop entry"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metadata has no release $version"

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate"
else
  echo "desktop-file-validate not installed: the desktop entry is not validated"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
else
  echo "appstreamcli not installed: the metadata is not validated"
fi
echo "Installed layout is complete."
