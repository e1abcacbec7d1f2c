#!/usr/bin/env bash
# Runs a Windows test program under Wine, in a Wine prefix of the build tree's own (never the
# user's). CTest calls this through CMAKE_CROSSCOMPILING_EMULATOR.
#
# The prefix lives next to the build tree's CMakeCache.txt. Without a display it starts a
# private Xvfb. tools/run-tests.sh starts Xvfb and a persistent wineserver once for a whole
# test run, which makes each program start far quicker.
set -euo pipefail

build_dir=${VANDRETH_BUILD_DIR:-}
if [ -z "$build_dir" ]; then
  dir=$(pwd)
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  build_dir=$dir
fi

export WINEPREFIX=${WINEPREFIX_OVERRIDE:-$build_dir/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko install prompts when the prefix is made.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEARCH=win64

# Test windows are not handed to a window manager: on a bare Xvfb Wine would wait two seconds
# for one each time a window closes.
unmanaged_windows() {
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 || true
}

if [ ! -f "$WINEPREFIX/system.reg" ] || ! grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      wineboot -i >/dev/null 2>&1 || true
      unmanaged_windows
      # Let the prefix's first wineserver write the registry out and exit.
      wineserver -w || true
    else
      grep -q '^"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null || unmanaged_windows
    fi
  ) 9>"$WINEPREFIX.lock"
fi

# Without address-space randomisation: now and then the kernel put a random mapping where Wine
# keeps its shared user data (0x7ffe0000), and the program ended before it began ("failed to map
# the shared user data", exit code 1), or its CreateProcess parent got ERROR_INTERNAL_ERROR.
# The setting passes on to every process the program starts.
fixed_layout=(setarch "$(uname -m)" -R)

if [ -z "${DISPLAY:-}" ]; then
  exec "${fixed_layout[@]}" xvfb-run -a -s "-screen 0 1280x1024x24" wine "$@"
fi
exec "${fixed_layout[@]}" wine "$@"
