#!/usr/bin/env bash
# Builds the client and the benchmark (Debian 12, mingw-w64) and runs the benchmark under Wine.
# It prints figures beside floors measured in the same run, with a goal column that says met or
# MISSED; a missed goal does not change the exit code, which is non-zero only when something
# could not be measured (see bench/README.md).
#
#   tools/run-benchmark.sh [RUNS]     runs of each figure (default 5)
#
# BUILD_DIR names another build tree (default build/mingw, the tests' tree). The benchmark runs
# in a Wine prefix of its own in that tree, so a test run beside it does not share its
# wineserver.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
runs=${1:-5}

. tools/common.sh
install_missing_packages

build_dir=${BUILD_DIR:-$here/build/mingw}
# A release build: timing a debug build would measure the wrong program.
cmake -S "$here" -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DVANDRETH_BUILD_TESTS=ON -DVANDRETH_BUILD_BENCHMARK=ON >/dev/null
cmake --build "$build_dir" -j8 --target VandrethClient vandreth_bench

cleanup() {
  wineserver -k 2>/dev/null || true
  stop_display
}
trap cleanup EXIT

start_display_if_needed
use_wine_prefix "$build_dir/bench-prefix"
# A persistent wineserver and Wine's own background processes, started once here, so that
# every start the benchmark times is a warm one (and nothing holds this script's pipes open).
wineserver -w
wineserver -p >/dev/null 2>&1 </dev/null || true
wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true

echo "Machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) (other work on it makes the figures noisy)."
client=$(winepath -w "$build_dir/VandrethClient/VandrethClient.exe")
wine "$build_dir/bench/VandrethBench.exe" --client "$client" --runs "$runs" </dev/null
