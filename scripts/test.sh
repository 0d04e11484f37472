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
exit $status
