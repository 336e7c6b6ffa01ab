#!/usr/bin/env bash
# Builds the Windows (x86_64, MinGW-w64 posix) SDK the project's Windows build links against:
# Qt 6.4.2 (Core Gui Widgets PrintSupport Network Sql+SQLite Test, Serial Port, Svg, Charts),
# SQLite 3.40.1 (DLL), zlib 1.2.13 (static) and libxlsxwriter 1.1.4 (static), all from source,
# on Debian 12, with Debian's host Qt 6.4.2 doing the moc/rcc/uic work.
# Sources: Debian's own source packages (qt6-base, sqlite3, zlib, libxlsxwriter), fetched with
# apt-get source through a private apt configuration; the three Qt modules that Debian's
# archive does not serve as source (Serial Port, Svg, Charts) are read from
# $TESVARON_QT_SOURCES/<module>-everywhere-src-6.4.2.tar.xz, else downloaded from Qt's archive.
# Usage: scripts/win64-sdk.sh PREFIX [OUT.tar.xz]   (about an hour on 2 cores; root for apt-get)
# scripts/windows.sh runs it when it is given no prebuilt SDK.
set -euo pipefail
P=$(realpath -m "${1:?usage: win64-sdk.sh PREFIX [OUT.tar.xz]}")
out=${2:+$(realpath -m "$2")}
work=${WORK:-$(mktemp -d /tmp/win64-sdk.XXXXXX)}
qt_sources=${TESVARON_QT_SOURCES:+$(realpath "$TESVARON_QT_SOURCES")}
mkdir -p "$work" "$P/bin" "$P/lib" "$P/include"
cd "$work"

export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix \
  mingw-w64-tools binutils-mingw-w64-x86-64 cmake ninja-build tcl qt6-base-dev qt6-base-dev-tools \
  qt6-tools-dev-tools dpkg-dev xz-utils curl ca-certificates >/dev/null

# Debian's source packages, from the same archive as the machine's binary packages.
mkdir -p apt/lists apt/cache
uri=$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n1)
[ -n "$uri" ] || uri=$(awk '$1 == "deb" && $2 !~ /^\[/ {print $2; exit}' /etc/apt/sources.list)
printf 'Types: deb-src\nURIs: %s\nSuites: bookworm\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
  "$uri" >apt/src.sources
A=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$work/apt" -o Dir::State::Lists="$work/apt/lists"
   -o Dir::Cache="$work/apt/cache")
apt-get "${A[@]}" update -qq
apt-get "${A[@]}" source --download-only qt6-base sqlite3 zlib libxlsxwriter >/dev/null

cat >mingw.cmake <<TC
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 $P)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
TC

# SQLite: the amalgamation is generated natively (it is the same C for every platform), then
# compiled by MinGW into a DLL with an import library.
tar -xJf sqlite3_3.40.1.orig.tar.xz
(cd sqlite3-3.40.1 && mkdir -p bld && cd bld && ../configure --disable-tcl >/dev/null && make sqlite3.c >/dev/null)
x86_64-w64-mingw32-gcc-posix -O2 -shared -DSQLITE_ENABLE_COLUMN_METADATA -DSQLITE_ENABLE_FTS5 -DSQLITE_ENABLE_MATH_FUNCTIONS \
  -DSQLITE_THREADSAFE=1 "-DSQLITE_API=__declspec(dllexport)" sqlite3-3.40.1/bld/sqlite3.c \
  -o "$P/bin/libsqlite3-0.dll" -Wl,--out-implib,"$P/lib/libsqlite3.dll.a"
cp sqlite3-3.40.1/bld/sqlite3.h sqlite3-3.40.1/bld/sqlite3ext.h "$P/include/"

# qtbase: shared, release, only what a desktop instrument program needs. Debian's dfsg tarball
# lacks src/3rdparty/wintab (its licence forbids changes), so the Windows platform plugin is built
# without graphics-tablet input, which an instrument program never needs.
tar -xJf qt6-base_6.4.2+dfsg.orig.tar.xz
w=qtbase-everywhere-src-6.4.2/src/plugins/platforms/windows
sed -i "s/CONDITION QT_FEATURE_tabletevent/CONDITION FALSE/" "$w/CMakeLists.txt" qtbase-everywhere-src-6.4.2/src/plugins/platforms/direct2d/CMakeLists.txt
sed -i 's/QT_CONFIG(tabletevent)/0/g' "$w/qwindowscontext.cpp" "$w/qwindowspointerhandler.cpp" "$w/qwindowspointerhandler.h"
# 6.4.2's plugin uses the dynamic-GL probe even when OpenGL is configured out.
sed -i 's/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' "$w/qwindowswindow.cpp"
cmake -S qtbase-everywhere-src-6.4.2 -B qtbase-bld -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/mingw.cmake" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_INSTALL_PREFIX="$P" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
  -DFEATURE_opengl=OFF -DFEATURE_dbus=OFF -DFEATURE_vulkan=OFF -DFEATURE_openssl=OFF -DINPUT_openssl=no \
  -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_system_zlib=OFF -DFEATURE_icu=OFF -DFEATURE_zstd=OFF \
  -DFEATURE_sql=ON -DFEATURE_sql_sqlite=ON -DFEATURE_system_sqlite=ON -DFEATURE_sql_odbc=OFF \
  -DFEATURE_sql_psql=OFF -DFEATURE_sql_mysql=OFF \
  -DSQLite3_INCLUDE_DIR="$P/include" -DSQLite3_LIBRARY="$P/lib/libsqlite3.dll.a" >qtbase-configure.log
cmake --build qtbase-bld --parallel "$(nproc)" >qtbase-build.log
cmake --install qtbase-bld >/dev/null

# The other modules, against that Qt.
for m in qtserialport qtsvg qtcharts; do
  tarball=$m-everywhere-src-6.4.2.tar.xz
  if [ -n "$qt_sources" ]; then
    cp "$qt_sources/$tarball" .
  else
    curl -fsSL --retry 3 -o "$tarball" "https://download.qt.io/archive/qt/6.4/6.4.2/submodules/$tarball"
  fi
  tar -xJf "$tarball"
  cmake -S "$m-everywhere-src-6.4.2" -B "$m-bld" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$P/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$work/mingw.cmake" -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DCMAKE_INSTALL_PREFIX="$P" \
    -DCMAKE_BUILD_TYPE=Release -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF >"$m-configure.log"
  cmake --build "$m-bld" --parallel "$(nproc)" >"$m-build.log"
  cmake --install "$m-bld" >/dev/null
done

# Built after Qt: a zlib.h in the prefix would shadow Qt's bundled zlib for qtsvg.
# zlib, static (Debian's dfsg tarball has no win32/ resource, so only the static target).
tar -xjf zlib_1.2.13.dfsg.orig.tar.bz2
cmake -S zlib-1.2.13.dfsg -B zlib-bld -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/mingw.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build zlib-bld --target zlibstatic >/dev/null
cp zlib-bld/libzlibstatic.a "$P/lib/libz.a"; cp zlib-1.2.13.dfsg/zlib.h zlib-bld/zconf.h "$P/include/"

# libxlsxwriter, static, with its bundled minizip over that zlib.
tar -xzf libxlsxwriter_1.1.4.orig.tar.gz
cmake -S libxlsxwriter-RELEASE_1.1.4 -B xlsx-bld -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/mingw.cmake" \
  -DCMAKE_INSTALL_PREFIX="$P" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF \
  -DZLIB_LIBRARY="$P/lib/libz.a" -DZLIB_INCLUDE_DIR="$P/include" >/dev/null
cmake --build xlsx-bld >/dev/null && cmake --install xlsx-bld >/dev/null

# The MinGW runtime DLLs every program built with this compiler needs beside it.
for f in libstdc++-6.dll libgcc_s_seh-1.dll; do
  cp "$(x86_64-w64-mingw32-g++-posix -print-file-name=$f)" "$P/bin/"
done
cp /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$P/bin/"

# Relocatable: the chain-loaded toolchain file, Qt's default chain-load and the .pc files name
# the prefix relative to themselves, so the tarball can be unpacked anywhere.
cat >"$P/mingw-w64-x86_64.cmake" <<'TC'
# MinGW-w64 (posix threads) cross toolchain for this prefix; chain-load it from Qt's
# lib/cmake/Qt6/qt.toolchain.cmake with -DQT_CHAINLOAD_TOOLCHAIN_FILE.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${CMAKE_CURRENT_LIST_DIR})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
TC
sed -i "s|^set(__qt_initially_configured_toolchain_file \".*\")|set(__qt_initially_configured_toolchain_file \"\${CMAKE_CURRENT_LIST_DIR}/../../../mingw-w64-x86_64.cmake\")|" \
  "$P/lib/cmake/Qt6/qt.toolchain.cmake"
for f in "$P"/lib/pkgconfig/*.pc; do
  sed -i "s|^prefix=$P\$|prefix=\${pcfiledir}/../..|; s|$P|\${prefix}|g" "$f"
done

if [ -n "$out" ]; then
  tar -C "$P" -cf - . | xz -T0 -9 >"$out"
  echo "SDK: $out ($(du -h "$out" | cut -f1))"
fi
echo "SDK: $P"
