#!/usr/bin/env bash
# Builds the Debian package: a Release build of the programs in build-release/, then cpack.
# Prints the package's path. Usage: scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

dir=build-release
# Debian's hardening flags (fortify, stack protector, relro, bindnow) at -O2, without -g since
# the packaged programs are stripped. -O2 also because GCC 12 at Release's -O3 gives false
# -Wrestrict warnings inside std::string, and the project builds with -Werror.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g DEB_CFLAGS_MAINT_STRIP=-g
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
# Only what the package holds is built; cpack's install step must not build the tests too.
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_CXX_FLAGS_RELEASE="-DNDEBUG" \
  -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
cmake --build "$dir" --target tesvaron_package_contents
rm -f "$dir"/tesvaron_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)

debs=("$dir"/tesvaron_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "package.sh: no package in $dir" >&2; exit 1; }
echo "${debs[0]}"
