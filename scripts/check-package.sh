#!/usr/bin/env bash
# Checks the Debian package as a user meets it: builds it (scripts/package.sh),
# runs lintian (no errors), appstreamcli on the metainfo and
# desktop-file-validate on the desktop entry, installs it with apt-get,
# runs /usr/bin/tavimeter (--version, --render of a generated file), finds
# the manual page with man, removes the package again and looks for anything
# it left under /usr. Installing needs root: otherwise it says so and checks
# nothing. A tavimeter package already installed is left alone (and the
# check skipped), as are settings outside the test's own folder.
#   scripts/check-package.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
if [ "$(id -u)" != 0 ]; then
  echo "check-package: skipped, installing a package needs root (run as root to check it)"
  exit 0
fi
if dpkg-query -W -f='${Status}' tavimeter 2>/dev/null | grep -q "install ok installed"; then
  echo "check-package: skipped, a tavimeter package is installed already; it is left as it is"
  exit 0
fi

fail() { echo "check-package: $*" >&2; exit 1; }
package=$("$root/scripts/package.sh")
echo "check-package: $package"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== lintian"
lintian --fail-on error --display-level ">=warning" "$package" 2>&1 | grep -v "running with root privileges" || true
lintian --fail-on error "$package" >/dev/null 2>&1 || fail "lintian finds errors in $package"

echo "== appstreamcli and desktop-file-validate"
dpkg-deb -x "$package" "$work/contents"
appstreamcli validate --no-net "$work"/contents/usr/share/metainfo/*.metainfo.xml
desktop-file-validate "$work/contents/usr/share/applications/tavimeter.desktop"

echo "== apt-get install"
# Minimal images tell dpkg to leave manual pages out; this one is checked.
apt-get install -y --no-install-recommends -o Dpkg::Options::=--path-include=/usr/share/man/man1/tavimeter.1.gz \
  "$package" >/dev/null
dpkg -L tavimeter | grep '^/usr/' | sort >"$work/files"
export XDG_CONFIG_HOME="$work/config"
[ "$(command -v tavimeter)" = /usr/bin/tavimeter ] || fail "tavimeter is not /usr/bin/tavimeter"
version=$(/usr/bin/tavimeter --version)
echo "$version"
grep -Eq '^tavimeter [0-9]+\.[0-9]+' <<<"$version" || fail "--version printed '$version'"
sox -n -r 48000 -c 2 -b 16 "$work/tone.wav" synth 3 sine 1000 vol 0.1
/usr/bin/tavimeter --render "$work/tone.wav" "$work/tone.png" --size 320x200 >/dev/null
file "$work/tone.png" | grep -q "PNG image data, 320 x 200" || fail "--render drew no 320 x 200 picture"
[ -f "$work/config/tavimeter/tavimeter.ini" ] || fail "the settings were not made in XDG_CONFIG_HOME"
manual=$(man -w tavimeter) || fail "man -w does not find the manual page"
echo "manual page: $manual"

echo "== apt-get remove"
apt-get remove -y tavimeter >/dev/null
left=$(while read -r f; do [ -f "$f" ] && echo "$f"; done <"$work/files"; ls /usr/bin/tavimeter* 2>/dev/null || true)
[ -z "$left" ] || fail "left after removal: $left"
echo "check-package: the package installs, runs and goes again without a trace"
