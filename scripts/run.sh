#!/usr/bin/env bash
# Builds the program and its API server and runs them.
#
# With a display: starts the server (unless one already listens on the
# program's API address), runs the program, and stops the server it started
# when the window closes.
# Without a display: shows the main job on a virtual display instead. It
# types an address into the window and clicks 生成 as a person would, prints
# the short link (read from the clipboard) and the run-log line, restores the
# link with 还原, prints the long address, saves a screenshot and ends,
# leaving nothing running.
#
# SHORTURL_BUILD_DIR names another build folder than build/.
set -euo pipefail
export LC_ALL=C.UTF-8
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${SHORTURL_BUILD_DIR:-$root/build}

scripts/install-deps.sh
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target shorturl shorturl-server

api=$(sed -n 's/^SHORTURL_API_HOST:STRING=//p' "$build/CMakeCache.txt")
api_host=${api%:*}
api_port=${api##*:}
[[ "$api" == *:* ]] || api_port=80

server_pid=
xvfb_started=
cleanup() {
  [[ -n "${app_pid:-}" ]] && kill "$app_pid" 2>/dev/null || true
  if [[ -n "$server_pid" ]]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
  fi
  [[ -n "$xvfb_started" ]] && stop_virtual_display
  return 0
}
trap cleanup EXIT

if (exec 3<>"/dev/tcp/$api_host/$api_port") 2>/dev/null; then
  echo "An API server already listens on $api; using it."
else
  server_log=$(mktemp /tmp/shorturl-server.XXXXXX)
  "$build/shorturl-server" --listen "$api" --db "$root/var/shorturl.db" >"$server_log" 2>&1 &
  server_pid=$!
  for _ in $(seq 1 100); do
    grep -q '^listening on' "$server_log" && break
    kill -0 "$server_pid" 2>/dev/null || { cat "$server_log" >&2; exit 1; }
    sleep 0.05
  done
  echo "API server: $(head -n1 "$server_log") (database var/shorturl.db)"
fi

if [[ -n "${DISPLAY:-}" ]]; then
  "$build/shorturl"
  exit 0
fi

# No display: the demonstration.
source scripts/xvfb.sh
start_virtual_display
xvfb_started=1

clipboard() { timeout 5 xclip -o -selection clipboard 2>/dev/null || true; }
# Waits until the clipboard holds something other than $1, and prints it.
clipboard_change() {
  local now
  for _ in $(seq 1 100); do
    now=$(clipboard)
    [[ -n "$now" && "$now" != "$1" ]] && { printf '%s' "$now"; return 0; }
    sleep 0.1
  done
  return 1
}
# Clicks inside the window at a control: its group box's place plus its own,
# then the middle of the control.
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; }

demo_dir=$(mktemp -d /tmp/shorturl-demo.XXXXXX)
cp "$build/shorturl" "$demo_dir/shorturl"
(cd "$demo_dir" && exec ./shorturl) &
app_pid=$!
title="短网址生成还原程序 - By KOVEX"
window=
for _ in $(seq 1 100); do
  window=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n1) || true
  [[ -n "$window" ]] && break
  sleep 0.1
done
[[ -n "$window" ]] || { echo "the program's window did not appear" >&2; exit 1; }

long_url="https://www.example.org/文档/2026/短网址演示?page=1&lang=zh"
echo "Typing into 原网址内容: $long_url"
click $((24 + 72 + 116)) $((120 + 24 + 12))           # 原网址内容
scripts/type-text.sh "$long_url"
click $((23 + 161 + 8)) $((8 + 16 + 12))               # 单选框3
click $((24 + 72 + 40)) $((120 + 96 + 12))             # 生成
short_url=$(clipboard_change "") || { echo "no short link came back" >&2; exit 1; }
echo "Short link (from the clipboard): $short_url"
echo "Run log, newest line: $(head -n1 "$demo_dir/运行日志.txt" | iconv -f GBK -t UTF-8 | tr -d '\r')"

echo "Typing into 短网址还原1 and clicking 还原: $short_url"
click $((24 + 72 + 116)) $((256 + 24 + 12))            # 短网址还原1
scripts/type-text.sh "$short_url"
click $((24 + 72 + 40)) $((256 + 96 + 12))             # 按钮1
restored=$(clipboard_change "$short_url") || { echo "the link was not restored" >&2; exit 1; }
echo "Long address (from the clipboard): $restored"
echo "Run log, newest line: $(head -n1 "$demo_dir/运行日志.txt" | iconv -f GBK -t UTF-8 | tr -d '\r')"

sleep 0.3
shot="$build/screenshot.png"
import -window "$window" "$shot"
echo "The window is saved in $shot"
xdotool key --window "$window" Escape 2>/dev/null || true
rm -rf "$demo_dir"
