#!/usr/bin/env bash
# Builds the Debian package build/velmora_VERSION_ARCH.deb and prints its path on the last line.
#
# The package gets a build of its own in build/package: Debian's compiler and linker flags
# (hardening included), no tests. Its Depends come from dpkg-shlibdeps plus the QML modules,
# plugins and font that the window loads at run time.
set -euo pipefail
cd "$(dirname "$0")/.."

package_build=build/package
if [ ! -f "$package_build/build.ninja" ]; then
  launcher=()
  if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
  export DEB_BUILD_MAINT_OPTIONS=hardening=+bindnow
  CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
    LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    cmake -S . -B "$package_build" -G Ninja -DCMAKE_BUILD_TYPE=None "${launcher[@]}" \
    -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_BENCH=OFF
fi
cmake --build "$package_build" -j"$(nproc)"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$package_build/CMakeCache.txt")
deb="velmora_${version}_$(dpkg --print-architecture).deb"
rm -f build/velmora_*.deb "$package_build/$deb"
(cd "$package_build" && cpack -G DEB)
mv "$package_build/$deb" "build/$deb"
echo "build/$deb"
