#!/usr/bin/env bash
# Installs what is missing (Debian 12), cross-builds the client and its tests with mingw-w64,
# and runs every test under Wine. Ends non-zero on any failure.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"

packages=(cmake g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine wine64 xvfb xauth
          nlohmann-json3-dev googletest python3 openssl)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=(); [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi

cmake --preset mingw >/dev/null
cmake --build --preset mingw

build_dir=$here/build/mingw
export VANDRETH_BUILD_DIR=$build_dir
export WINEPREFIX=$build_dir/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64

xvfb_pid=
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    export DISPLAY=:$n
    break
  done
fi

mkdir -p "$WINEPREFIX"
[ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1 || true
wineserver -p
# Wine's own background processes (services, the desktop) start with the first program; start
# them here, away from CTest's output pipes, which they would otherwise hold open.
wine cmd.exe /c exit </dev/null >/dev/null 2>&1 || true

ctest --preset mingw "$@"
