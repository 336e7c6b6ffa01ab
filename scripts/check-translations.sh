#!/usr/bin/env bash
# Fails when tesvaron-cli's English messages are behind its sources: a message in the code that
# cli/translations/tesvaron-cli_en.ts lacks or leaves unfinished, or one it still holds that the
# code dropped. Fix: cmake --build build --target update_translations, then translate.
set -euo pipefail
cd "$(dirname "$0")/.."
lupdate=/usr/lib/qt6/bin/lupdate
[ -x "$lupdate" ] || lupdate=$(command -v lupdate)
ts=cli/translations/tesvaron-cli_en.ts
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$ts" "$work/check.ts"
# The same sources and options as the update_translations target (cli/CMakeLists.txt).
(cd cli && "$lupdate" -silent -source-language zh_CN -target-language en -no-obsolete \
  -locations none archive_commands.cpp cli_core.cpp commands.cpp main.cpp serial_line.cpp \
  ../platform/serial_backend.cpp ../platform/private_folder.cpp ../platform/port_map.cpp -ts "$work/check.ts") >/dev/null 2>&1
if ! cmp -s "$ts" "$work/check.ts"; then
  echo "check-translations: $ts is not up to date with the sources:"
  diff -u "$ts" "$work/check.ts" | head -40
  exit 1
fi
unfinished=$(grep -c 'type="unfinished"' "$ts" || true)
if [ "$unfinished" -gt 0 ]; then
  echo "check-translations: $unfinished message(s) in $ts have no English yet"
  exit 1
fi
echo "check-translations: $(grep -c '<source>' "$ts") messages, all translated"
