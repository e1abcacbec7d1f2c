# Shared by the scripts in tools/: installing what is missing on Debian 12, building with the
# mingw preset, and a virtual display for Wine when there is none. Source it; it defines
# functions only.

# Installs the Debian packages that the build, the tests and the client need and are missing.
install_missing_packages() {
  local packages=(cmake g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine wine64 xvfb xauth
                  nlohmann-json3-dev googletest python3 openssl)
  local missing=() p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
}

# Configures and builds the mingw preset: every target, or only the targets given.
build_with_mingw_preset() {
  cmake --preset mingw >/dev/null
  if [ $# -gt 0 ]; then
    cmake --build --preset mingw --target "$@"
  else
    cmake --build --preset mingw
  fi
}

# Wine settings for a prefix of our own; never the user's ~/.wine.
use_wine_prefix() {
  export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
  mkdir -p "$WINEPREFIX"
  [ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1 || true
}

# Starts Xvfb on a free display when DISPLAY is not set; its pid goes into xvfb_pid.
xvfb_pid=
start_display_if_needed() {
  [ -n "${DISPLAY:-}" ] && return 0
  local n
  for n in $(seq 90 140); do
    { [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; } && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    export DISPLAY=:$n
    return 0
  done
}

stop_display() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
