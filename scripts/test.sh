#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Fails when a test
# fails or when no test ran.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${VELMAR_BUILD_DIR:-$top/build}"
"$top/scripts/build.sh" "$@"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure --no-tests=error -j"$(nproc)"
