#!/usr/bin/env bash
# Checks the Debian package built by scripts/package.sh: every file it must hold, its control
# fields, the desktop entry, metainfo, icons, man pages and udev rule, then lintian.
# Exits non-zero on the first kind of problem it finds, after reporting all of them.
# Usage: scripts/check-package.sh [package.deb]   (default: the one in build-release/)
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -gt 0 ]; then
  deb=$1
else
  debs=(build-release/tesvaron_*.deb)
  if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "check-package: expected one build-release/tesvaron_*.deb, run scripts/package.sh" >&2
    exit 1
  fi
  deb=${debs[0]}
fi

failures=0
fail() {
  echo "check-package: $*" >&2
  failures=$((failures + 1))
}

version=$(sed -nE 's/^project\(tesvaron VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
app_id=io.github.tesvaron.tesvaron
[ -n "$version" ] || fail "no version in the root CMakeLists.txt"
[ "$(basename "$deb")" = "tesvaron_${version}_${arch}.deb" ] ||
  fail "file name $(basename "$deb"), expected tesvaron_${version}_${arch}.deb"

# ---- control fields ----------------------------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = tesvaron ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', expected $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)'"
[ "$(field Section)" = electronics ] || fail "Section is '$(field Section)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
depends=$(field Depends)
# the first two are needed at run time but invisible to shlibdeps; the rest prove it ran
for dep in fonts-noto-cjk qt6-translations-l10n libqt6widgets6 libqt6serialport6 libc6; do
  grep -Eq "(^|, )$dep( |,|$)" <<<"$depends" || fail "Depends lacks $dep: $depends"
done
control=$(dpkg-deb -I "$deb")
for script in postinst postrm; do
  grep -Eq "^ +[0-9]+ bytes, +[0-9]+ lines +\* +$script " <<<"$control" ||
    fail "no executable $script in the control archive"
done

# ---- the files ---------------------------------------------------------------------------------
listing=$(dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|')
expected=(
  /usr/bin/tesvaron
  /usr/bin/tesvaron-sim
  "/usr/share/applications/$app_id.desktop"
  "/usr/share/metainfo/$app_id.metainfo.xml"
  /usr/share/icons/hicolor/scalable/apps/tesvaron.svg
  /usr/share/man/man1/tesvaron.1.gz
  /usr/share/man/man1/tesvaron-sim.1.gz
  /usr/lib/udev/rules.d/60-tesvaron-serial.rules
  /usr/share/doc/tesvaron/copyright
  /usr/share/doc/tesvaron/changelog.gz
)
icon_sizes=(16 22 24 32 48 64 128 256)
for side in "${icon_sizes[@]}"; do
  expected+=("/usr/share/icons/hicolor/${side}x${side}/apps/tesvaron.png")
done
# the command-line program is packaged once the source tree builds it
if grep -Eqs 'add_executable\(tesvaron-cli([[:space:]]|$)' cli/CMakeLists.txt; then
  expected+=(/usr/bin/tesvaron-cli /usr/share/man/man1/tesvaron-cli.1.gz)
fi
for f in "${expected[@]}"; do
  grep -Fxq "$f" <<<"$listing" || fail "missing from the package: $f"
done

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

for f in "${expected[@]}"; do
  [ -e "$root$f" ] || continue
  case $f in
    /usr/bin/*)
      [ -x "$root$f" ] && file -b "$root$f" | grep -q '^ELF .*executable' ||
        fail "$f is no executable program" ;;
    *.gz)
      gzip -t "$root$f" 2>/dev/null || fail "$f is no valid gzip file" ;;
  esac
done

# ---- desktop entry -----------------------------------------------------------------------------
desktop=$root/usr/share/applications/$app_id.desktop
if [ -f "$desktop" ]; then
  # it exits 0 on warnings and hints; any of those is a finding too
  out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ] || fail "desktop-file-validate: $out"
  key() { sed -n "s/^$1=//p" "$desktop"; }
  [ "$(key StartupWMClass)" = tesvaron ] || fail "StartupWMClass is '$(key StartupWMClass)'"
  [ "$(key Icon)" = tesvaron ] || fail "Icon is '$(key Icon)'"
  exec_cmd=$(key Exec | cut -d' ' -f1)
  [ -x "$root/usr/bin/$exec_cmd" ] || fail "Exec '$exec_cmd' is not in /usr/bin of the package"
  for k in 'Name\[zh_CN\]' 'Comment\[zh_CN\]' Name Comment Categories; do
    [ -n "$(key "$k")" ] || fail "desktop entry has no $k"
  done
fi

# ---- metainfo ----------------------------------------------------------------------------------
metainfo=$root/usr/share/metainfo/$app_id.metainfo.xml
if [ -f "$metainfo" ]; then
  if command -v appstreamcli >/dev/null; then
    out=$(appstreamcli validate --no-net --pedantic "$metainfo" 2>&1) ||
      fail "appstreamcli validate: $out"
  else
    echo "check-package: appstreamcli not found, metainfo not validated"
  fi
  grep -Fq "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
    fail "metainfo does not launch $app_id.desktop"
  grep -Eq "<release version=\"$version\" date=\"[0-9]{4}-[0-9]{2}-[0-9]{2}\"" "$metainfo" ||
    fail "metainfo has no dated release $version"
  for program in "$root"/usr/bin/*; do
    grep -Fq "<binary>$(basename "$program")</binary>" "$metainfo" ||
      fail "metainfo does not provide $(basename "$program")"
  done
fi

# ---- icons: the right size, and the pictures the SVG renders to ------------------------------
for side in "${icon_sizes[@]}"; do
  png=$root/usr/share/icons/hicolor/${side}x${side}/apps/tesvaron.png
  [ -f "$png" ] || continue
  file -b "$png" | grep -q "^PNG image data, $side x $side," ||
    fail "${side}x${side} icon is $(file -b "$png")"
done
svg=$root/usr/share/icons/hicolor/scalable/apps/tesvaron.svg
if [ -f "$svg" ] && command -v rsvg-convert >/dev/null && command -v compare >/dev/null; then
  for side in "${icon_sizes[@]}"; do
    png=$root/usr/share/icons/hicolor/${side}x${side}/apps/tesvaron.png
    [ -f "$png" ] || continue
    rsvg-convert -w "$side" -h "$side" "$svg" -o "$root/render.png"
    # a few pixels may differ between renderer versions; a stale PNG differs in many
    differ=$(compare -metric AE -fuzz 10% "$png" "$root/render.png" null: 2>&1) || true
    [[ $differ =~ ^[0-9]+$ ]] && [ "$differ" -le $((side * side / 100)) ] ||
      fail "${side}x${side} icon is not what tesvaron.svg renders to ($differ pixels differ);" \
        "run packaging/icons/render.sh"
  done
fi

# ---- udev rule: each adapter, each rule on ttys and tagged for the seat ----------------------
rules=$root/usr/lib/udev/rules.d/60-tesvaron-serial.rules
if [ -f "$rules" ]; then
  while IFS= read -r line; do
    [[ $line =~ ^[[:space:]]*(#|$) ]] && continue
    [[ $line == *'SUBSYSTEM=="tty"'* && $line == *'TAG+="uaccess"'* ]] ||
      fail "udev rule not for ttys or without the uaccess tag: $line"
  done <"$rules"
  for id in 1a86:7523 1a86:5523 1a86:7522 10c4:ea60 10c4:ea70 10c4:ea71 \
    0403:6001 0403:6010 0403:6011 0403:6014 0403:6015 067b:2303 067b:23a3; do
    grep -Eq "ATTRS\{idVendor\}==\"${id%:*}\", ATTRS\{idProduct\}==\"${id#*:}\"" "$rules" ||
      fail "udev rule misses adapter $id"
  done
fi

# ---- lintian -----------------------------------------------------------------------------------
if command -v lintian >/dev/null; then
  report=$(lintian --tag-display-limit 0 "$deb" 2>&1 | grep -v 'running with root privileges') || true
  [ -z "$report" ] || echo "$report"
  ! grep -q '^E:' <<<"$report" || fail "lintian reports errors"
else
  echo "check-package: lintian not found, package not linted"
fi

if [ "$failures" -gt 0 ]; then
  echo "check-package: $deb: $failures problem(s)" >&2
  exit 1
fi
echo "check-package: $deb is complete ($(grep -vc '/$' <<<"$listing") files)"
