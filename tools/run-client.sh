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

. tools/common.sh
install_missing_packages
# The client alone: the tests and the benchmark take far longer to build and are not run here.
build_with_mingw_preset VandrethClient

build_dir=$here/build/mingw
client=$build_dir/VandrethClient/VandrethClient.exe

standin_pid=
cleanup() {
  [ -n "$standin_pid" ] && kill "$standin_pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  stop_display
}
trap cleanup EXIT

start_display_if_needed
[ -n "$xvfb_pid" ] && echo "No display: the client's window is on the virtual display $DISPLAY."
echo "Preparing the Wine prefix $build_dir/run-prefix ..."
use_wine_prefix "$build_dir/run-prefix"

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
