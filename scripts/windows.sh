#!/usr/bin/env bash
# Cross-builds tesvaron.exe and tesvaron-cli.exe with MinGW-w64 and packs them, with every DLL
# they load, into build-windows/tesvaron-<version>-win64-setup.exe (NSIS) and
# build-windows/tesvaron-<version>-win64.zip.
# Usage: scripts/windows.sh [--tests]
#   TESVARON_WIN64_SDK=<tarball or folder>  the prebuilt Qt/SQLite/zlib/libxlsxwriter prefix for
#       MinGW; without it the prefix is built from source (scripts/win64-sdk.sh, about an hour)
#   TESVARON_QT_SOURCES=<folder>  where that build finds the Qt module source tarballs
#       (default: Qt's download archive)
#   --tests  also builds the test programs that scripts/windows-check.sh runs under Wine
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-windows
tests=false
[ "${1:-}" = "--tests" ] && tests=true
fonts=() # the offscreen suites read the host's fonts under Wine
$tests && fonts=(fonts-noto-cjk fonts-dejavu-core)
bash scripts/setup.sh cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools \
  g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64 nsis \
  qt6-translations-l10n xz-utils "${fonts[@]}"
mkdir -p "$out"

# ---- The SDK: given as a folder, as a tarball (unpacked once per tarball), or built ----------
sdk=$out/sdk
given=${TESVARON_WIN64_SDK:-}
if [ -n "$given" ] && [ -d "$given" ]; then
  sdk=$(cd "$given" && pwd)
elif [ -n "$given" ]; then
  stamp="$(realpath "$given") $(stat -c '%s %Y' "$given")"
  if [ "$(cat "$sdk/.from" 2>/dev/null)" != "$stamp" ]; then
    rm -rf "$sdk" && mkdir -p "$sdk"
    tar -xJf "$given" -C "$sdk"
    echo "$stamp" >"$sdk/.from"
  fi
elif [ ! -f "$sdk/.from" ]; then
  rm -rf "$sdk"
  bash scripts/win64-sdk.sh "$sdk"
  echo "built from source" >"$sdk/.from"
fi
[ -f "$sdk/lib/cmake/Qt6/qt.toolchain.cmake" ] || { echo "windows.sh: $sdk is no SDK" >&2; exit 1; }
echo "$sdk" >"$out/sdk-path" # for scripts/windows-check.sh

# ---- The programs -----------------------------------------------------------------------------
# -O2: GCC 12's -O3 reports a false overlap in std::string's inlined copies (-Wrestrict).
export PKG_CONFIG_LIBDIR=$sdk/lib/pkgconfig
# A build folder configured against another SDK would keep using that one.
if ! grep -q "^CMAKE_TOOLCHAIN_FILE:[A-Z]*=$sdk/lib/cmake/Qt6/qt.toolchain.cmake\$" \
  "$out/cmake/CMakeCache.txt" 2>/dev/null; then
  rm -rf "$out/cmake"
fi
cmake -S . -B "$out/cmake" -G Ninja -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" \
  -DCMAKE_TOOLCHAIN_FILE="$sdk/lib/cmake/Qt6/qt.toolchain.cmake" -DQT_HOST_PATH=/usr \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DCMAKE_CROSSCOMPILING_EMULATOR=wine \
  >/dev/null
if $tests; then
  cmake --build "$out/cmake"
else
  cmake --build "$out/cmake" --target tesvaron tesvaron-cli
fi

# ---- Staging: exactly the listed files --------------------------------------------------------
version=$(sed -n 's/^!define VERSION "\(.*\)"$/\1/p' "$out/cmake/package.nsh")
name=tesvaron-$version-win64
stage=$out/$name
rm -rf "$stage" && mkdir -p "$stage"
mapfile -t programs <"$out/cmake/programs.txt"
mapfile -t files < <(sed '/^#/d; /^$/d' packaging/windows/files.txt)
for file in "${files[@]}"; do
  case $file in
    *.exe) from=$(printf '%s\n' "${programs[@]}" | grep "/$file\$") ;;
    qt.conf) from=packaging/windows/qt.conf ;;
    translations/*) from=/usr/share/qt6/$file ;;
    */*.dll) from=$sdk/plugins/$file ;;
    *.dll) from=$sdk/bin/$file ;;
    *) echo "windows.sh: no rule for $file" >&2; exit 1 ;;
  esac
  mkdir -p "$stage/$(dirname "$file")"
  cp "$from" "$stage/$file"
done
# Debug sections (libstdc++ alone carries 20 MB of them) are of no use to a user.
x86_64-w64-mingw32-strip --strip-unneeded "$stage"/*.exe "$stage"/*.dll "$stage"/*/*.dll

# ---- Every DLL loaded is packaged, and every packaged DLL is loaded ---------------------------
imports() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z'; }
system=$(sed '/^#/d; /^$/d' packaging/windows/system-dlls.txt)
declare -A needed=()
queue=("$stage"/*.exe "$stage"/*/*.dll)
status=0
while [ ${#queue[@]} -gt 0 ]; do
  file=${queue[0]}
  queue=("${queue[@]:1}")
  for dll in $(imports "$file"); do
    [ -n "${needed[$dll]:-}" ] && continue
    match=$(find "$sdk/bin" -maxdepth 1 -iname "$dll" | head -n1)
    if [ -n "$match" ]; then
      needed[$dll]=$(basename "$match")
      queue+=("$match")
    elif ! grep -qxF "$dll" <<<"$system"; then
      echo "windows.sh: $(basename "$file") imports $dll, which is neither in the SDK nor a system DLL" >&2
      status=1
    fi
  done
done
packaged=$(cd "$stage" && ls -1 ./*.dll | sed 's|^\./||' | sort)
wanted=$(printf '%s\n' "${needed[@]}" | sort)
if [ "$packaged" != "$wanted" ]; then
  echo "windows.sh: the DLLs in packaging/windows/files.txt and the DLLs loaded differ:" >&2
  diff <(echo "$packaged") <(echo "$wanted") | sed -n 's/^< / listed, loaded by nothing: /p; s/^> / loaded, not listed: /p' >&2
  status=1
fi
[ $status -eq 0 ] || exit 1

# ---- The zip and the installer ----------------------------------------------------------------
rm -f "$out/$name.zip"
(cd "$out" && cmake -E tar cf "$name.zip" --format=zip "$name")

nsis=$out/nsis
rm -rf "$nsis" && mkdir -p "$nsis"
cp packaging/windows/installer.nsi "$out/cmake/package.nsh" "$nsis/"
for file in "${files[@]}"; do
  win=${file//\//\\}
  dir=$(dirname "$file")
  if [ "$dir" = . ]; then dir=; else dir=\\${dir//\//\\}; fi
  printf 'SetOutPath "$INSTDIR%s"\nFile "${STAGE}\\%s"\n' "$dir" "$win" >>"$nsis/files.nsh"
  printf 'Delete "$INSTDIR\\%s"\n' "$win" >>"$nsis/unfiles.nsh"
done
printf 'SetOutPath "$INSTDIR"\n' >>"$nsis/files.nsh"
for dir in $(printf '%s\n' "${files[@]}" | grep / | xargs -n1 dirname | sort -ru); do
  printf 'RMDir "$INSTDIR\\%s"\n' "${dir//\//\\}" >>"$nsis/unfiles.nsh"
done
makensis -V2 -INPUTCHARSET UTF8 -DSTAGE="$stage" -DOUTFILE="$out/$name-setup.exe" \
  -DICON="$root/packaging/windows/tesvaron.ico" -DSIZE_KB="$(du -sk "$stage" | cut -f1)" \
  "$nsis/installer.nsi"

echo "windows.sh: DLLs: $(printf '%s ' "${wanted}" | tr '\n' ' ')"
ls -l "$out/$name-setup.exe" "$out/$name.zip" | awk '{print "windows.sh: " $5 " bytes  " $NF}'
