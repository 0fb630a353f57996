#!/usr/bin/env bash
# Installs what is missing, builds the workstation and starts it; arguments go to arm_zfn.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZFN_TESTS=OFF >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target arm_zfn zfn_emulator_cli zfn_archive_file
cd "$root/build"
exec ./arm_zfn "$@"
