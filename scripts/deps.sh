#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages the build and tests need, only those not installed yet.
# Usage: scripts/deps.sh [extra packages...]
set -euo pipefail

packages=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev qt6-qpa-plugins fonts-liberation
          libqt6sql6-sqlite libqt6sql6-psql postgresql poppler-utils libssl-dev qtkeychain-qt6-dev libpodofo-dev
          libsecret-1-0 gnome-keyring dbus libxmlsec1-dev libqrencode-dev libxml2-utils zbar-tools "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
