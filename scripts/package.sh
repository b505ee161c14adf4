#!/usr/bin/env bash
# Builds tavimeter_VERSION_ARCH.deb from this checkout with CMake and CPack's
# DEB generator (Release, no tests or benchmarks, installed under /usr; the
# dependencies come from dpkg-shlibdeps) and prints its path. Compiled with
# Debian's hardening flags (dpkg-buildflags, all of them), which leave the
# numbers alone: no flag among them changes floating-point arithmetic. The package
# lands in the checkout's folder; the build is in build-package/.
#   scripts/package.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
dir="$root/build-package"
for tool in scdoc dpkg-shlibdeps; do
  if ! command -v "$tool" >/dev/null; then
    echo "package: $tool is missing; scripts/setup-deps installs it" >&2
    exit 1
  fi
done
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DTAVI_BUILD_TESTS=OFF -DTAVI_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$dir" -j "$(nproc)" >/dev/null
(cd "$dir" && cpack -G DEB >/dev/null)
package=$(ls -t "$dir"/tavimeter_*.deb | head -1)
mv -f "$package" "$root/"
echo "$root/$(basename "$package")"
