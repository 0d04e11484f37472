#!/usr/bin/env bash
# Builds and runs the program. On a machine without a display it runs the
# program on a virtual display, saves a screenshot of the window and ends.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/install-deps.sh
scripts/build.sh "$root/build"

if [[ -n "${DISPLAY:-}" ]]; then
  exec "$root/build/shorturl"
fi

source scripts/xvfb.sh
trap 'kill "${app_pid:-}" 2>/dev/null || true; stop_virtual_display' EXIT
start_virtual_display
"$root/build/shorturl" &
app_pid=$!
title="短网址生成还原程序 - By KOVEX"
window=
for _ in $(seq 1 100); do
  window=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n1) && [[ -n "$window" ]] && break
  sleep 0.1
done
[[ -n "$window" ]] || { echo "the program's window did not appear" >&2; exit 1; }
sleep 0.5
shot="$root/build/screenshot.png"
import -window "$window" "$shot"
echo "The program's window is saved in $shot"
