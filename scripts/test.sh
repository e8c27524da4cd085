#!/usr/bin/env bash
# Sets up, builds, and runs every test under CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
# The fuzz targets over their seeds and a fixed number of inputs, so that a target that no
# longer builds or crashes fails here; the test summary stays the last thing printed.
bash scripts/fuzz.sh --ci
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j "$(nproc)" --timeout 300
