#!/usr/bin/env bash
# Renders the program's icon, packaging/vektamon.svg, to the PNG sizes the
# package installs beside it (packaging/icons/NxN/apps/vektamon.png, laid out as in the hicolor theme).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh librsvg2-bin
for size in 16 24 32 48 64 128 256; do
  mkdir -p "packaging/icons/${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" packaging/vektamon.svg -o "packaging/icons/${size}x${size}/apps/vektamon.png"
done
echo "Rendered packaging/icons/"
