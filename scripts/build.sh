#!/usr/bin/env bash
# Configures and builds Velmar into build/ (or $VELMAR_BUILD_DIR).
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${VELMAR_BUILD_DIR:-$top/build}"
"$top/scripts/install-deps.sh"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
