#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer, ASan and UBSan into
# build-fuzz/ (or $VELMAR_FUZZ_BUILD_DIR), apart from the normal build.
#   fuzz/build.sh [extra cmake arguments]
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${VELMAR_FUZZ_BUILD_DIR:-$top/build-fuzz}"
command -v clang++ >/dev/null || { echo "clang++ est introuvable (apt-get install clang libclang-rt-14-dev)" >&2; exit 1; }
cmake -S "$top" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DVELMAR_FUZZ=ON "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
