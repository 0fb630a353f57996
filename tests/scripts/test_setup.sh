#!/usr/bin/env bash
# Runs scripts/setup.sh against stand-ins for dpkg-query, apt-get, sudo and id that record what would
# be installed and with which environment, on a machine where nothing is installed yet.
set -euo pipefail
setup="$(cd "$(dirname "$0")/../.." && pwd)/scripts/setup.sh"
fails=0
passes=0

fake_bin() {
  local bin=$1 uid=$2
  mkdir -p "$bin"
  printf '#!/bin/sh\nexit 1\n' >"$bin/dpkg-query"
  printf '#!/bin/sh\necho "$DEBIAN_FRONTEND $*" >>"%s/apt.log"\n' "$bin" >"$bin/apt-get"
  printf '#!/bin/sh\necho %s\n' "$uid" >"$bin/id"
  # Like the real one, sudo starts the command with a reset environment.
  printf '#!/bin/sh\nexec env -i PATH="$PATH" "$@"\n' >"$bin/sudo"
  chmod +x "$bin"/*
}

# install_line MODE UID: the packages apt-get was asked to install, with the environment it saw.
install_line() {
  local bin
  bin=$(mktemp -d)
  fake_bin "$bin" "$2"
  PATH="$bin:$PATH" bash "$setup" "$1" >/dev/null
  grep ' install ' "$bin/apt.log"
  rm -rf "$bin"
}

check() {
  local what=$1 line=$2 package=$3 expected=$4
  local found=no
  [[ " $line " == *" $package "* ]] && found=yes
  if [ "$found" = "$expected" ]; then
    passes=$((passes + 1))
  else
    echo "FAIL: $what: $package on the install line: $found, expected $expected"
    fails=$((fails + 1))
  fi
}

for uid in 0 1000; do
  run=$(install_line run "$uid")
  test=$(install_line test "$uid")
  for line in "$run" "$test"; do
    check "uid $uid, noninteractive" "$line" noninteractive yes
    # Recommends would bring daemons that probe serial ports (ModemManager), and the tools the tests
    # call must not come only through them.
    check "uid $uid, without recommends" "$line" --no-install-recommends yes
    # Nothing is built with Qt's designer or translation tools.
    for p in qttools5-dev qttools5-dev-tools; do
      check "uid $uid" "$line" "$p" no
    done
  done
  for p in g++ qtbase5-dev libqt5serialport5-dev libqwt-qt5-dev qttranslations5-l10n fonts-dejavu-core libzip-dev \
           libpugixml-dev xdg-utils; do
    check "run, uid $uid" "$run" "$p" yes
    check "test, uid $uid" "$test" "$p" yes
  done
  for p in clang libclang-rt-dev qtbase5-private-dev xvfb xauth libxcb1-dev python3 python3-openpyxl poppler-utils \
           libreoffice-calc-nogui g++-mingw-w64-x86-64-posix; do
    check "run, uid $uid" "$run" "$p" no
    check "test, uid $uid" "$test" "$p" yes
  done
  # A build through Ninja needs ninja itself, one through make does not.
  for generator in "" "Unix Makefiles" Ninja; do
    expected=no
    [ "$generator" = Ninja ] && expected=yes
    for mode in run test; do
      line=$(CMAKE_GENERATOR=$generator install_line "$mode" "$uid")
      check "$mode, uid $uid, generator '$generator'" "$line" ninja-build "$expected"
    done
  done
done

# On a machine without sudo only root can install: anyone else is told how to run the set-up, and
# nothing reaches apt-get. The PATH holds the stand-ins and the few tools the script calls, so that no
# sudo of the machine is found.
for uid in 0 1000; do
  bin=$(mktemp -d)
  fake_bin "$bin" "$uid"
  rm "$bin/sudo"
  ln -s "$(command -v grep)" "$(command -v env)" "$bin/"
  status=0
  message=$(PATH="$bin" "$BASH" "$setup" run 2>&1 >/dev/null) || status=$?
  installs=no
  grep -q ' install ' "$bin/apt.log" 2>/dev/null && installs=yes
  expected_installs=yes
  [ "$uid" -eq 0 ] || expected_installs=no
  if [ "$installs" != "$expected_installs" ]; then
    echo "FAIL: no sudo, uid $uid: apt-get install called: $installs, expected $expected_installs"
    fails=$((fails + 1))
  elif [ "$uid" -ne 0 ] && { [ "$status" -eq 0 ] || [[ "$message" != *"run this as root or as a user allowed to use sudo"* ]]; }; then
    echo "FAIL: no sudo, uid $uid: exit $status, message: $message"
    fails=$((fails + 1))
  else
    passes=$((passes + 1))
  fi
  rm -rf "$bin"
done

echo "$passes passed, $fails failed"
[ "$fails" -eq 0 ]
