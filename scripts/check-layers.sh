#!/usr/bin/env bash
# Fails when a core library reaches up: a source of a tesvaron_*_core target that includes
# app/ or platform/ (other than its own target's headers) or a Qt Widgets header. Core libraries come first; platform and the window
# build on them, never the other way round.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
checked=0
for cmake in */CMakeLists.txt; do
  dir=$(dirname "$cmake")
  # The source list of each add_library(tesvaron_<name>_core ...) block.
  sources=$(awk '/add_library\(tesvaron_[a-z_]*_core/ {inside=1; next}
                 inside && /\)/ {inside=0}
                 inside {print $1}' "$cmake")
  for src in $sources; do
    file="$dir/$src"
    [ -f "$file" ] || { echo "check-layers: $file listed in $cmake is missing"; status=1; continue; }
    checked=$((checked + 1))
    # Its own target's headers are allowed, whatever the folder.
    own=$(printf '%s\n' $sources | sed "s|^|$dir/|" | paste -sd'|')
    if grep -E '#include[[:space:]]*[<"](app/|platform/|QtWidgets|QWidget|QApplication)' "$file" |
       grep -vE "\"($own)\""; then
      echo "check-layers: $file is in a core library but includes the layer above"
      status=1
    fi
  done
done
[ "$checked" -gt 0 ] || { echo "check-layers: no core library found"; exit 1; }
echo "check-layers: $checked core sources checked"
exit $status
