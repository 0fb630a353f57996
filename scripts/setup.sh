#!/usr/bin/env bash
# Installs the Debian packages the workstation and its tests need, when any is missing.
set -euo pipefail
packages=(cmake make g++ clang libclang-rt-dev qtbase5-dev qtbase5-private-dev libqt5serialport5-dev
          libqwt-qt5-dev qttools5-dev qttools5-dev-tools qttranslations5-l10n xvfb xauth fonts-dejavu-core
          libzip-dev libpugixml-dev pkgconf python3-openpyxl poppler-utils)
# The tests read the protocols with LibreOffice; the full Calc package conflicts with the one without a GUI.
dpkg-query -W -f='${Status}' libreoffice-calc 2>/dev/null | grep -q "install ok installed" || packages+=(libreoffice-calc-nogui)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
