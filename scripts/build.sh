#!/usr/bin/env bash
# Configures and builds the four build trees (see configure_tree in lib.sh):
# build/native, build/sanitize, build/win64 and build/win32.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib.sh"
jobs=${JOBS:-$(nproc)}
for tree in native sanitize win64 win32; do
  configure_tree "$tree"
  cmake --build "${TOLVANEX_BUILD_DIR:-$root/build}/$tree" -j "$jobs"
done
place_product_beside_builder
