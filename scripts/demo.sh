#!/usr/bin/env bash
# Sets up, builds, and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
exec build/src/app/pxmloader "$@"
