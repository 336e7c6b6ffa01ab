#!/usr/bin/env bash
# Renders the hicolor PNGs from tesvaron.svg. Run after changing the SVG and commit the result;
# scripts/check-package.sh fails when the committed PNGs no longer match the SVG.
# Usage: packaging/icons/render.sh [output-folder]   (default: packaging/icons/hicolor)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/hicolor}
for side in 16 22 24 32 48 64 128 256; do
  mkdir -p "$out/${side}x${side}/apps"
  rsvg-convert -w "$side" -h "$side" "$here/tesvaron.svg" -o "$out/${side}x${side}/apps/tesvaron.png"
done
# The Windows programs' icon (packaging/windows/tesvaron.ico), from the same pictures.
convert $(for side in 16 24 32 48 64 128 256; do printf '%s ' "$out/${side}x${side}/apps/tesvaron.png"; done) \
  "$here/../windows/tesvaron.ico"
