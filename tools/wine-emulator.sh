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

# The prefix's own settings: a key, a value's name and its text (REG_SZ), three words each. They
# are set in a new prefix and put right in an existing one.
# - Test windows are not handed to a window manager: on a bare Xvfb Wine would wait two seconds
#   for one each time a window closes.
# - The visual style is on, with Wine's light theme (which every new prefix holds): the controls
#   look as on Windows 10 and 11, and the tests see them so.
theme_key='HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager'
settings=(
  'HKCU\Software\Wine\X11 Driver' Managed N
  "$theme_key" ThemeActive 1
  "$theme_key" DllName 'C:\windows\resources\themes\light\light.msstyles'
  "$theme_key" ColorName Blue
  "$theme_key" SizeName NormalSize
)

# True when the prefix's user.reg holds the setting: the line "name"="text" in the key's
# section, as the file writes them (no HKCU, every backslash doubled).
has_setting() {
  local section="[${1#HKCU\\}]" line="\"$2\"=\"$3\""
  SECTION=${section//\\/\\\\} LINE=${line//\\/\\\\} awk '
    /^\[/ { inside = index($0, ENVIRON["SECTION"]) == 1 }
    inside && $0 == ENVIRON["LINE"] { found = 1 }
    END { exit !found }' "$WINEPREFIX/user.reg" 2>/dev/null
}

set_setting() {
  wine reg add "$1" /v "$2" /t REG_SZ /d "$3" /f </dev/null >/dev/null 2>&1 || true
}

# True when the prefix exists and holds every setting.
prefix_ready() {
  [ -f "$WINEPREFIX/system.reg" ] || return 1
  local i
  for ((i = 0; i < ${#settings[@]}; i += 3)); do
    has_setting "${settings[@]:i:3}" || return 1
  done
}

# Makes the prefix when there is none and sets what it lacks. The wineserver is then restarted,
# so that it writes the registry out and every program from now on starts with the settings (a
# persistent wineserver would never end by itself).
set_up_prefix() {
  [ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1 || true
  local i
  for ((i = 0; i < ${#settings[@]}; i += 3)); do
    has_setting "${settings[@]:i:3}" || set_setting "${settings[@]:i:3}"
  done
  wineserver -k 2>/dev/null || true
  wineserver -w || true
}

if ! prefix_ready; then
  mkdir -p "$WINEPREFIX"
  (
    flock 9
    prefix_ready || set_up_prefix
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
