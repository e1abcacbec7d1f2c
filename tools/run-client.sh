#!/usr/bin/env bash
# Runs the Vandreth Client under Wine against the local stand-in service (Debian 12).
# Installs what is missing, cross-builds with mingw-w64, starts the stand-in, points the client
# at it through its state file, and stops the stand-in once the client's window is closed.
#
#   tools/run-client.sh [PORT]     the stand-in's port on 127.0.0.1 (default: any free one)
#
# The client runs in a Wine prefix of its own, build/mingw/run-prefix. Every run starts
# unlinked: the stand-in keeps its accounts in memory, so a token from an earlier run means
# nothing to it.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
port=${1:-0}

packages=(cmake g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine wine64 xvfb xauth
          nlohmann-json3-dev googletest python3)
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
client=$build_dir/VandrethClient/VandrethClient.exe
export WINEPREFIX=$build_dir/run-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64

standin_pid= xvfb_pid=
cleanup() {
  [ -n "$standin_pid" ] && kill "$standin_pid" 2>/dev/null || true
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
    echo "No display: the client's window is on the virtual display $DISPLAY."
    break
  done
fi

mkdir -p "$WINEPREFIX"
[ -f "$WINEPREFIX/system.reg" ] || { echo "Making the Wine prefix $WINEPREFIX ..."; wineboot -i >/dev/null 2>&1 || true; }

# The client keeps its state in %APPDATA%\Vandreth; a program started from Linux gets the
# prefix's own APPDATA folder, so that is where the state file goes.
appdata_windows=$(wine cmd.exe /c echo %APPDATA% </dev/null 2>/dev/null | tr -d '\r')
state_dir=$(realpath -m "$(winepath -u "$appdata_windows" 2>/dev/null)")/Vandreth
mkdir -p "$state_dir"

standin_log=$build_dir/run-standin.log
coproc STANDIN { exec python3 "$here/tools/standin/vandreth_standin.py" --port "$port" --verbose 2>"$standin_log"; }
standin_pid=$STANDIN_PID
read -r word origin <&"${STANDIN[0]}"
[ "$word" = listening ] || { echo "The stand-in service did not start; see $standin_log" >&2; exit 1; }

printf '{\r\n  "origin": "%s"\r\n}' "$origin" >"$state_dir/pc-client-state.json"

cat <<EOF
Stand-in Vandreth service: $origin (requests logged to $standin_log)
Pairing page: $origin/link/pc
  In the client: Generate Link Code, then Open Pairing Page (or open the page above,
  enter the code and Approve). The seeded account is "Ada Marlowe" with two projects.
State file: $state_dir/pc-client-state.json
Close the client's window to stop.
EOF

status=0
wine "$client" </dev/null || status=$?
echo "The client ended with exit code $status."
exit "$status"
