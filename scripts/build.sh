#!/usr/bin/env bash
# Configures and builds the five build trees (see configure_tree in lib.sh):
# build/native, build/sanitize, build/win64, build/win32 and, of
# build/win64-product, the product's programs and the example's.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib.sh"
jobs=${JOBS:-$(nproc)}
for tree in native sanitize win64 win32; do
  configure_tree "$tree"
  cmake --build "${TOLVANEX_BUILD_DIR:-$root/build}/$tree" -j "$jobs"
done
configure_tree win64-product
cmake --build "${TOLVANEX_BUILD_DIR:-$root/build}/win64-product" -j "$jobs" \
  --target setup uninstall beispiel beispieldienst
place_product_beside_builder
