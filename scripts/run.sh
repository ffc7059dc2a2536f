#!/usr/bin/env bash
# Installs what is missing, builds, starts a local demo FTP site and runs
# Velmar against it.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${VELMAR_BUILD_DIR:-$top/build}"
"$top/scripts/build.sh"
exec "$top/scripts/demo.sh" "$build"
