#!/usr/bin/env bash
# Installs the Debian packages that are missing: "run" (the default) what the workstation's build and
# the program need, "test" those and what the tests, the fuzz targets and the benchmarks add.
# Recommends are never installed: through them the Qt packages would bring daemons such as
# ModemManager, which probes every serial port that appears, so every tool used is named here.
set -euo pipefail
# The Cyrillic texts need a font that has them; a saved protocol is opened through xdg-open.
run_packages=(cmake make g++ pkgconf qtbase5-dev libqt5serialport5-dev libqwt-qt5-dev qttranslations5-l10n
              fonts-dejavu-core libzip-dev libpugixml-dev xdg-utils)
# CMake builds through ninja instead of make when its CMAKE_GENERATOR says so.
case "${CMAKE_GENERATOR:-}" in Ninja*) run_packages+=(ninja-build) ;; esac
# clang and its runtime build the fuzz targets; the window test reads Qt's private headers; the
# start-up bench watches the X server through xcb, whose headers no other package brings for sure;
# the protocol tests read the workbooks with python3 and openpyxl and LibreOffice's PDFs with pdfinfo;
# mingw-w64 compiles the sources as for Windows, syntax only.
test_packages=(clang libclang-rt-dev qtbase5-private-dev xvfb xauth libxcb1-dev python3 python3-openpyxl
               poppler-utils g++-mingw-w64-x86-64-posix)

packages=("${run_packages[@]}")
case "${1:-run}" in
  run) ;;
  test)
    packages+=("${test_packages[@]}")
    # The tests read the protocols with LibreOffice; the full Calc package conflicts with the one without a GUI.
    dpkg-query -W -f='${Status}' libreoffice-calc 2>/dev/null | grep -q "install ok installed" || packages+=(libreoffice-calc-nogui)
    ;;
  *) echo "usage: $0 [run|test]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  # A Debian installed with a root password has no sudo: say what to do rather than fail in the middle.
  if [ "$(id -u)" -ne 0 ] && ! command -v sudo >/dev/null; then
    echo "$0: the missing packages (${missing[*]}) are installed through apt-get, which needs root," \
         "and sudo is not installed: run this as root or as a user allowed to use sudo." >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  # sudo resets the environment, so the variable goes on its command line, where it survives.
  as_root=(env DEBIAN_FRONTEND=noninteractive)
  [ "$(id -u)" -eq 0 ] || as_root=(sudo env DEBIAN_FRONTEND=noninteractive)
  "${as_root[@]}" apt-get update -qq
  "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
