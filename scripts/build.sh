#!/usr/bin/env bash
# Builds the project: scripts/build.sh [BUILD_DIR] [extra cmake arguments...]
# The default build folder is build/ at the top of the repository.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shift || true
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
