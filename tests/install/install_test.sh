#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR as the README does (stripped)
# and checks what a desktop needs of it: the programs alone in bin/, their
# man pages, the licence and changelog, the menu entry, the icon that entry
# names, the metadata with an entry for this version, and both files passing
# their validators when those are installed. Then the window program answers
# --help and --version without a display, and the uninstall target's script
# takes every installed file away again.
#   install_test.sh <build folder> <cmake> <version>
set -euo pipefail
build=$1 cmake=$2 version=$3
app_id=com.quillmark.ferrovane
dest=$(mktemp -d /tmp/ferrovane-install.XXXXXX)
# The test's install replaces the build's list of installed files; the
# user's own install is uninstalled by that list, so it comes back after.
manifest="$build/install_manifest.txt"
saved=$(mktemp /tmp/ferrovane-manifest.XXXXXX)
had_manifest=0
if [ -f "$manifest" ]; then cp "$manifest" "$saved" && had_manifest=1; fi
restore() {
  if [ "$had_manifest" = 1 ]; then cp "$saved" "$manifest"; else rm -f "$manifest"; fi
  rm -rf "$dest" "$saved"
}
trap restore EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$dest" "$cmake" --install "$build" --prefix /usr --strip >/dev/null
root="$dest/usr"

# Only the programs go to bin/ (the window and the command-line tool): no
# screenshot tool, tests or benchmarks.
bins=$(cd "$root/bin" && ls -A | tr '\n' ' ')
[ "$bins" = "ferrovane ferrovane-cli " ] || fail "bin/ holds: $bins"
for page in ferrovane ferrovane-cli; do
  gzip -t "$root/share/man/man1/$page.1.gz" 2>/dev/null || fail "no compressed man page $page.1.gz"
done
doc="$root/share/doc/ferrovane"
grep -q '^License: GPL-3+$' "$doc/copyright" 2>/dev/null || fail "no GPL-3+ copyright file in $doc"
zcat "$doc/changelog.gz" 2>/dev/null | head -1 | grep -q "^ferrovane ($version) " ||
  fail "the changelog does not begin with $version"
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
  appstreamcli validate --strict --no-net "$metainfo" || fail "appstreamcli validate --strict"
else
  echo "appstreamcli not installed: the metadata is not validated"
fi
# --help and --version answer before any window is made: no display, and no
# platform plugin chosen for one.
app() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/bin/ferrovane" "$@"; }
[ "$(app --version)" = "ferrovane $version" ] || fail "ferrovane --version"
help=$(app --unknown --help) || fail "ferrovane --help failed"
[ "${help%%$'\n'*}" = "Usage: ferrovane [--help | --version]" ] || fail "ferrovane --help: $help"
if app --version >/dev/full 2>/dev/null; then fail "ferrovane --version to a full disk succeeded"; fi

# The build installs to /usr/local unless told otherwise: a list of files
# under /usr (what cpack leaves, too) removes nothing without the prefix.
uninstall() { DESTDIR="$dest" "$cmake" "$@" -P "$build/cmake_uninstall.cmake" >/dev/null 2>&1; }
if uninstall -DPREFIX=/usr/local; then fail "the uninstall script removed files outside its prefix"; fi
[ -x "$root/bin/ferrovane" ] || fail "the uninstall script removed files outside its prefix"
uninstall -DPREFIX=/usr || fail "the uninstall script"
left=$(cd "$dest" && find . ! -type d)
[ -z "$left" ] || fail "left after uninstalling: $left"
echo "Installed layout is complete; uninstalling removes it."
