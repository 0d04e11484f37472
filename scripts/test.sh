#!/usr/bin/env bash
# Builds everything and runs every test twice: in the normal build (build/)
# and in an AddressSanitizer + UndefinedBehaviorSanitizer build (build-asan/),
# on a virtual display of its own. Leaves nothing running.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/install-deps.sh
scripts/build.sh "$root/build"
scripts/build.sh "$root/build-asan" -DSHORTURL_SANITIZE=ON -DSHORTURL_BENCH=OFF

source scripts/xvfb.sh
trap stop_virtual_display EXIT
start_virtual_display

export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=xcb

status=0
for build in build build-asan; do
  echo "== tests in $build"
  (cd "$build" && ctest --output-on-failure --timeout 600 -j2) || status=1
done

# The README's run command as a person without a display meets it: from a
# clean build folder, it must shorten and restore through the real server.
echo "== the run command, headless, from a clean build folder"
demo_build=$(mktemp -d /tmp/shorturl-demo-build.XXXXXX)
demo_out=$(env -u DISPLAY SHORTURL_BUILD_DIR="$demo_build" scripts/run.sh 2>&1) || status=1
printf '%s\n' "$demo_out" | grep -v '^\[' || true
if grep -q '^Short link (from the clipboard): http://tu.test/' <<<"$demo_out" &&
  grep -q '^Long address (from the clipboard): https://www.example.org/' <<<"$demo_out"; then
  echo "The run command showed the main job."
else
  echo "FAILED: the run command did not show the main job."
  status=1
fi
rm -rf "$demo_build"
exit $status
