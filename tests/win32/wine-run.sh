#!/bin/sh
# Runs one Windows program under Wine (wine64, or the loader WINELOADER names) in the prefix
# named by WINEPREFIX (the build folder's own). Wine's helper processes (services, device drivers) outlive the program and would hold
# the caller's output pipes open — CTest then waits for them — so the first call starts a
# lingering wineserver and those helpers with their output on /dev/null; later calls reuse it.
set -u
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer prompts on a fresh prefix, and no menu entries or file
# associations written into the desktop of the user who runs the tests.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"
loader="${WINELOADER:-}"
if [ -z "$loader" ]; then
  for candidate in /usr/lib/wine/wine64 /usr/bin/wine64 /usr/bin/wine; do
    [ -x "$candidate" ] && loader=$candidate && break
  done
  export WINELOADER="$loader"
fi
server=$(dirname "$loader")/wineserver64
[ -x "$server" ] || server=$(dirname "$loader")/wineserver
[ -x "$server" ] || server=wineserver
linger="${ORVEN_WINE_LINGER:-60}"

# A prefix made by wine64 alone cannot start anything once Debian's wine32 is installed as
# well ("could not load kernel32.dll"), so each prefix records the Wine it was made with and
# is made afresh when that changed.
setup="wine64"
[ -x /usr/lib/wine/wine ] && setup="wine64+wine32"
if [ -d "$WINEPREFIX" ] && [ "$(cat "$WINEPREFIX/.orven-wine-setup" 2>/dev/null)" != "$setup" ]; then
  "$server" -k </dev/null >/dev/null 2>&1
  rm -rf "$WINEPREFIX"
fi
if [ ! -d "$WINEPREFIX/drive_c" ]; then
  # A fresh prefix, away from the caller's pipes. Making one takes 20 s and more, and a test
  # run needs half a dozen (the tests of each build, the end-to-end runs, each installer in
  # one of its own): the first is made once per Wine installation, loader and display
  # driver as a template in the build folder (ORVEN_WINE_TEMPLATES), the others are copies
  # of it (a few seconds). Its "wineserver" file names the prefix to Wine's server and is
  # left to each copy to make.
  # The tests need no screen: Wine's null display driver gives them windows that paint
  # off-screen. ORVEN_WINE_GRAPHICS="" keeps the X11 driver (the end-to-end run).
  graphics="${ORVEN_WINE_GRAPHICS-null}"
  version=$("$loader" --version 2>/dev/null | tr -c 'A-Za-z0-9.~+-' _)
  templates=${ORVEN_WINE_TEMPLATES:-$(cd "$(dirname "$0")/../.." && pwd)/build/wine-templates}
  template="$templates/$setup.$(basename "$loader").${graphics:-x11}.$version"
  mkdir -p "$templates"
  (
    flock 9
    [ -f "$template/.orven-template" ] && exit 0
    rm -rf "$template"
    mkdir -p "$template"
    export WINEPREFIX="$template"
    "$loader" wineboot -i </dev/null >/dev/null 2>&1
    if [ -n "$graphics" ]; then
      "$loader" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d "$graphics" /f \
        </dev/null >/dev/null 2>&1
    fi
    # The server that made the prefix ends once its helpers do, some seconds on; only then
    # are the registry files whole on disk.
    "$server" -w </dev/null >/dev/null 2>&1
    : >"$template/.orven-template"
  ) 9>"$templates/lock"
  mkdir -p "$WINEPREFIX"
  cp -a "$template/." "$WINEPREFIX/"
  rm -f "$WINEPREFIX/.orven-template" "$WINEPREFIX/wineserver"
  printf '%s\n' "$setup" >"$WINEPREFIX/.orven-wine-setup"
fi
# Exit status 0: no server was running for this prefix and a lingering one has started, so
# start the helpers now; a running server answers with a non-zero status and stays as it is.
if "$server" -p"$linger" </dev/null >/dev/null 2>&1; then
  "$loader" wineboot </dev/null >/dev/null 2>&1
fi
exec "$loader" "$@"
