#!/usr/bin/env bash
# Configures and builds Velmar into build/ (or $VELMAR_BUILD_DIR): everything,
# or only the targets named in $VELMAR_BUILD_TARGETS (and what they need).
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${VELMAR_BUILD_DIR:-$top/build}"
"$top/scripts/install-deps.sh"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
targets=()
for target in ${VELMAR_BUILD_TARGETS:-}; do targets+=(--target "$target"); done
cmake --build "$build" -j"$(nproc)" "${targets[@]}"
