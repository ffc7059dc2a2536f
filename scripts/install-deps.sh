#!/usr/bin/env bash
# Installs the Debian packages Velmar needs to build, run and test.
# Idempotent: packages already present are not fetched again.
set -euo pipefail

packages=(
  cmake g++ make
  qt6-base-dev qt6-base-dev-tools
  qt6-translations-l10n
  libcurl4-openssl-dev libzip-dev
  python3-pyftpdlib
  pkg-config
  poppler-utils
  xdg-utils
  dbus-daemon
)

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
