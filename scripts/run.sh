#!/usr/bin/env bash
# Installs what is missing, builds the program and the two tools the demo
# uses (not the tests and benchmarks), starts a local demo FTP site and runs
# Velmar against it.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${VELMAR_BUILD_DIR:-$top/build}"
VELMAR_BUILD_TARGETS="velmar velmar-profile velmar-console" "$top/scripts/build.sh"
exec "$top/scripts/demo.sh" "$build"
