#!/usr/bin/env bash
# Installs the Debian packages the benchmarks compare against (not needed to
# build, run or test Velmar): Info-ZIP's zip and unzip for bench_zip.
# Idempotent: packages already present are not fetched again.
set -euo pipefail

packages=(zip unzip)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installation des paquets manquants : ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
