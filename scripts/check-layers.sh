#!/usr/bin/env bash
# Fails when a layer reaches up. Cores (link/, replies/, output/ and every tesvaron_*_core
# library) sit at the bottom and include neither platform/, app/ nor Qt Widgets; platform/ sits
# over them; only the window (app/) and its tests and benchmarks include app/.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
checked=0

# Nothing outside the window, its tests and benchmarks includes the window's headers.
while IFS= read -r file; do
  checked=$((checked + 1))
  if grep -nE '#include[[:space:]]*[<"]app/' "$file"; then
    echo "check-layers: $file includes app/, which only app/, tests/ and bench/ may"
    status=1
  fi
done < <(find . -path ./tests -prune -o -path ./bench -prune -o -path ./app -prune -o \
              -path './build*' -prune -o -path ./.git -prune -o \
              -type f \( -name '*.cpp' -o -name '*.h' \) -print)

# The core sources: the pure folders whole, and the sources of every tesvaron_*_core library.
cores=$(find link replies output -type f \( -name '*.cpp' -o -name '*.h' \))
for cmake in */CMakeLists.txt; do
  dir=$(dirname "$cmake")
  sources=$(awk '/add_library\(tesvaron_[a-z_]*_core/ {inside=1; next}
                 inside && /\)/ {inside=0}
                 inside {print $1}' "$cmake")
  for src in $sources; do
    [ -f "$dir/$src" ] || { echo "check-layers: $dir/$src listed in $cmake is missing"; status=1; continue; }
    cores="$cores $dir/$src"
  done
done
for file in $(printf '%s\n' $cores | sort -u); do
  checked=$((checked + 1))
  case "$file" in app/*) own='app/(clock_text|command_states)\.h' ;; *) own='^$' ;; esac
  if grep -nE '#include[[:space:]]*[<"](app/|platform/|QtWidgets|QWidget|QApplication)' "$file" |
     grep -vE "\"$own\""; then
    echo "check-layers: $file is a core source but includes a layer above"
    status=1
  fi
done
[ "$checked" -gt 0 ] || { echo "check-layers: nothing checked"; exit 1; }
echo "check-layers: $checked sources checked"
exit $status
