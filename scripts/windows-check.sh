#!/usr/bin/env bash
# Checks the Windows build under Wine, each part in a fresh private Wine prefix:
#  1. the test programs that need no pseudo-terminal, with the offscreen platform;
#  2. the installer: a silent install, the installed tesvaron-cli.exe --version, its port words
#     (a port Wine hides reads not found) and a PostgreSQL setting said once, the installed
#     tesvaron.exe under Xvfb sending its port-search probe to COM3, which is tesvaron-sim's
#     pseudo-terminal, its archive in AppData and its archive window open, and the uninstaller
#     taking away all it installed and nothing else.
# Usage: scripts/windows-check.sh   (after scripts/windows.sh --tests; uses build/'s simulator)
# Leaves build-windows/wine-shot.png, the installed program's screen.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-windows
bash scripts/setup.sh wine wine64 xvfb xauth imagemagick xdotool
sdk=$(cat "$out/sdk-path")
version=$(sed -n 's/^!define VERSION "\(.*\)"$/\1/p' "$out/cmake/package.nsh")
setup=$out/tesvaron-$version-win64-setup.exe
[ -f "$setup" ] || { echo "windows-check: no $setup; run scripts/windows.sh --tests" >&2; exit 1; }
if [ ! -x build/sim/tesvaron-sim ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build --target tesvaron-sim
fi

work=$(mktemp -d /tmp/tesvaron-wine.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# Wine's own home and no menu entries on the host for the shortcuts the installer makes.
export HOME=$work/home WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d"
mkdir -p "$HOME"
fail() { echo "windows-check: FAIL: $*" >&2; exit 1; }
fresh_prefix() {
  [ -n "${WINEPREFIX:-}" ] && { wineserver -k 2>/dev/null || true; }
  export WINEPREFIX=$work/$1
  wineboot -i >/dev/null 2>&1
}

# ---- 1. The test programs ---------------------------------------------------------------------
# Each test's environment names the offscreen platform and the host's fonts (tests/CMakeLists.txt).
fresh_prefix tests
# COM9 is a plain file, which Wine (unlike a terminal) opens for one holder at a time.
: >"$work/com9" && ln -sfn "$work/com9" "$WINEPREFIX/dosdevices/com9"
TESVARON_COM9_IS_A_FILE=1 WINEPATH=$(winepath -w "$sdk/bin") ctest --test-dir "$out/cmake" -j2 ||
  fail "test programs under Wine (logs in $out/cmake/tests): $(grep -h -A3 '^FAIL!' "$out"/cmake/tests/*/*.log | head -n 40)"
echo "windows-check: the test programs pass under Wine"

# ---- 2. The installer -------------------------------------------------------------------------
fresh_prefix install
c=$WINEPREFIX/drive_c
dir="$c/Program Files/tesvaron"
wine "$setup" /S
wineserver -w
mapfile -t files < <(sed '/^#/d; /^$/d' packaging/windows/files.txt)
for file in "${files[@]}" uninstall.exe; do
  [ -f "$dir/$file" ] || fail "the installer did not put $file in Program Files\\tesvaron"
done
shortcuts() { find "$c" -name '无线高压验电器.lnk' | sed "s|^$c/||" | sort; }
[ "$(shortcuts)" = "$(printf '%s\n' 'ProgramData/Microsoft/Windows/Start Menu/Programs/无线高压验电器.lnk' \
  'users/Public/Desktop/无线高压验电器.lnk')" ] || fail "shortcuts: $(shortcuts)"
key='[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\tesvaron]'
grep -A12 -F "$key" "$WINEPREFIX/system.reg" | grep -qx "\"DisplayVersion\"=\"$version\"" ||
  fail "Add/Remove Programs has no version $version"
grep -A12 -F "$key" "$WINEPREFIX/system.reg" | grep -q '^"Publisher"="' || fail "no publisher"
answer=$(wine "C:\\Program Files\\tesvaron\\tesvaron-cli.exe" --version | tr -d '\r')
[ "$answer" = "tesvaron-cli $version" ] || fail "tesvaron-cli.exe --version said: $answer"
echo "windows-check: installed; tesvaron-cli.exe --version: $answer"

# The window's port search reaches COM3, which Wine maps to the simulator's pseudo-terminal.
TESVARON_PORTS=$work/ports build/sim/tesvaron-sim --com 3 -v >"$work/sim.out" 2>"$work/sim.log" &
pids+=($!)
for _ in $(seq 50); do grep -q ' -> ' "$work/sim.out" && break; sleep 0.1; done
pty=$(sed -n 's/^tesvaron-sim: COM3 -> //p' "$work/sim.out")
[ -n "$pty" ] || fail "the simulator did not start"
# Only COM3 in this prefix. Wine gives the machine's own UARTs COM1 and on by itself, and under
# Wine 8 the wait for port events that Qt Serial Port starts in its open (WaitCommEvent with an
# OVERLAPPED that has no event) is carried out before the call returns: on a UART where nothing
# arrives, opening the port never returns (on a pseudo-terminal the wait fails at once; on
# Windows it is pending, as it should be).
{
  printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n'
  for n in $(seq 16); do
    if [ "$n" = 3 ]; then printf '"COM3"="%s"\n' "$pty"; else printf '"COM%d"=""\n' "$n"; fi
  done
} >"$work/ports.reg"
wine regedit /S "$work/ports.reg"
wineserver -w
rm -f "$WINEPREFIX"/dosdevices/com*
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com3"

# Port words from the system's errors: a port Wine hides opens as no serial port, which reads
# not found (无效) like a name that opens nothing.
cli="C:\\Program Files\\tesvaron\\tesvaron-cli.exe"
ports=$(wine "$cli" ports --json | tr -d '\r')
for want in '{"com":3,"device":"COM3","status":"ok"}' '{"com":7,"device":"COM7","status":"not_found"}'; do
  grep -qF "$want" <<<"$ports" || fail "tesvaron-cli ports: no $want in $ports"
done
# A PostgreSQL setting: this build has no driver for it; said once, and the local archive is read.
said=$(TESVARON_ARCHIVE=postgresql://u@db.example/archive wine "$cli" archive list 2>&1 >/dev/null)
[ "$(grep -c 'PostgreSQL' <<<"$said")" = 1 ] || fail "the PostgreSQL setting was said so: $said"
echo "windows-check: COM3 ok and COM7 not found; a PostgreSQL setting said once"
# A Wine session started without a display would keep the window off the screen.
wineserver -k 2>/dev/null || true

# The window: its probe on COM3, its archive in AppData, its archive window (Ctrl+H) on screen.
probe='rx A1 04 05 55 AA FE'
xvfb-run -a -s '-screen 0 1024x768x24' bash -c '
  wine "C:\\Program Files\\tesvaron\\tesvaron.exe" & app=$!
  for _ in $(seq 120); do grep -q "$1" "$2" && break; sleep 0.5; done
  for _ in $(seq 120); do
    window=$(xdotool search --onlyvisible --name "Tesvaron" 2>/dev/null | head -n1)
    [ -n "$window" ] && break
    sleep 0.5
  done
  # No window manager: a click gives the window the keyboard.
  sleep 3
  xdotool mousemove --window "$window" 200 200 click 1 sleep 1 key ctrl+h 2>/dev/null
  sleep 4
  import -window root "$3"
  kill $app 2>/dev/null; wineserver -k 2>/dev/null; true' _ "$probe" "$work/sim.log" "$out/wine-shot.png"
grep -q "$probe" "$work/sim.log" || fail "the simulator received no probe: $(head -c 300 "$work/sim.log")"
echo "windows-check: COM3 received the probe: $(grep -m1 "$probe" "$work/sim.log" | sed 's/^ *//')"
archive=$(find "$c/users" -path '*/AppData/Roaming/tesvaron/archive.sqlite' | head -n1)
[ -n "$archive" ] || fail "no archive in AppData"
echo "windows-check: the archive is ${archive#"$c/"}"

# The user's saved files stay; everything installed goes.
documents=$(find "$c/users" -mindepth 2 -maxdepth 2 -name Documents ! -path '*/Public/*' | head -n1)
[ -n "$documents" ] || fail "no Documents folder in the prefix"
saved=$documents/tesvaron
mkdir -p "$saved"
echo kept >"$saved/saved.txt"
wine "$dir/uninstall.exe" /S
wineserver -w
[ ! -e "$dir" ] || fail "left behind in Program Files\\tesvaron: $(cd "$dir" && find . | head)"
[ -z "$(shortcuts)" ] || fail "shortcuts left: $(shortcuts)"
! grep -qF "$key" "$WINEPREFIX/system.reg" || fail "the Add/Remove Programs entry stayed"
[ "$(cat "$saved/saved.txt")" = kept ] || fail "the user's saved file went"
echo "windows-check: uninstalled; the user's saved file kept"
