#!/usr/bin/env bash
# Installs what is missing (Debian 12), cross-builds the client and its tests with mingw-w64,
# and runs every test under Wine. Ends non-zero on any failure. Extra arguments go to CTest.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
. tools/common.sh

install_missing_packages
build_with_mingw_preset

build_dir=$here/build/mingw
export VANDRETH_BUILD_DIR=$build_dir

cleanup() {
  wineserver -k 2>/dev/null || true
  stop_display
}
trap cleanup EXIT

start_display_if_needed
# The emulator script makes the build tree's Wine prefix (or puts its settings right, the visual
# style among them), as CTest would on first use.
export WINEPREFIX=$build_dir/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
tools/wine-emulator.sh cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
# A persistent wineserver makes each test program start far quicker. Wine's own background
# processes (services, the desktop) start with the first program: start them here, away from
# CTest's output pipes, which they would otherwise hold open.
wineserver -w
wineserver -p </dev/null >/dev/null 2>&1
wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
# Wine closes its desktop a second after the last program on it has gone, and the test program
# that started it again would pass CTest's pipes on to the new desktop process: one program keeps
# it in use until the wineserver goes at the end. It says when it is on the desktop.
coproc desktop_keeper { setarch "$(uname -m)" -R wine "$build_dir/tests/support/desktop_keeper.exe" </dev/null 2>/dev/null; }
read -r -t 60 _ <&"${desktop_keeper[0]}" || true

ctest --preset mingw "$@"
