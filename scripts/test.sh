#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and UndefinedBehaviorSanitizer,
# compiles every product source for Windows (syntax only) and runs every test with CTest; then runs
# every test once more in a build without the sanitizers, then the fuzz targets for a bounded time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh" test
export LC_ALL=C.UTF-8 LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
jobs=$(nproc)

# build_and_test TREE CMAKE-OPTION...: configures and builds the tree, then runs all its tests.
build_and_test() {
  local tree=$1
  shift
  cmake -S "$root" -B "$tree" "$@" >/dev/null
  cmake --build "$tree" -j"$jobs"
  (cd "$tree" && ctest --output-on-failure -j"$jobs" --timeout 300)
}

build_and_test "$root/build-test" -DCMAKE_BUILD_TYPE=Debug -DZFN_SANITIZE=ON -DZFN_WINDOWS_CHECK=ON
# The build the run command makes, with the tests: a test that holds only under the sanitizers'
# allocator and timing fails here.
build_and_test "$root/build-check" -DCMAKE_BUILD_TYPE=RelWithDebInfo

fuzz="$root/build-fuzz"
CXX=clang++ CC=clang cmake -S "$root" -B "$fuzz" -DCMAKE_BUILD_TYPE=Debug -DZFN_FUZZ=ON >/dev/null
cmake --build "$fuzz" -j"$jobs" --target fuzz_targets
(cd "$fuzz" && ctest --output-on-failure -L fuzz -j"$jobs")
