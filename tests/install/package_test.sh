#!/usr/bin/env bash
# Makes the Debian package into a temporary folder and runs Debian's own
# checker on it: no error and no warning may remain (informational tags may).
# Skipped (status 77) where lintian is not installed.
#   package_test.sh <build folder> <cpack>
set -euo pipefail
build=$1 cpack=$2
if ! command -v lintian >/dev/null; then
  echo "lintian not installed: the package is not checked"
  exit 77
fi
out=$(mktemp -d /tmp/ferrovane-package.XXXXXX)
# cpack rewrites the build's list of installed files, by which the user's
# own install is uninstalled: it comes back after.
manifest="$build/install_manifest.txt"
[ -f "$manifest" ] && cp "$manifest" "$out/manifest"
restore() {
  if [ -f "$out/manifest" ]; then cp "$out/manifest" "$manifest"; else rm -f "$manifest"; fi
  rm -rf "$out"
}
trap restore EXIT
"$cpack" -G DEB -B "$out" --config "$build/CPackConfig.cmake" >"$out/cpack.log" 2>&1 || {
  cat "$out/cpack.log" >&2
  echo "FAIL: cpack -G DEB" >&2
  exit 1
}
deb=$(ls "$out"/ferrovane_*.deb)
# As root lintian says it would rather not run as root; that is all it says.
lintian --fail-on error,warning --tag-display-limit 0 "$deb" 2> >(grep -v 'root privileges' >&2) ||
  { echo "FAIL: lintian reports errors or warnings" >&2; exit 1; }
echo "lintian accepts $(basename "$deb")"
