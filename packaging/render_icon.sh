#!/usr/bin/env bash
# Renders the 48x48 PNG icon from the hand-drawn SVG beside it. Run it after
# changing the SVG and commit both; the build does not render icons.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
rsvg-convert --width 48 --height 48 --format png \
  --output "$here/org.example.ShortUrl.png" "$here/org.example.ShortUrl.svg"
