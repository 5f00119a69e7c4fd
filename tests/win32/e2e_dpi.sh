#!/usr/bin/env bash
# orven.exe at 96 and at 192 DPI (100% and 200%), under Xvfb and wine64 with the prefix's
# LogPixels set: the manifest makes the program DPI-aware, so it scales itself. At 192 DPI
# the window is twice as large as at 96 (800 x 600 outer), and its parts stand at twice their
# places: the panel and its black line, the buttons' edges, the introduction's title twice as
# wide. Saves both screenshots of the window (e2e-dpi96.png, e2e-dpi192.png) and prints their
# sizes.
#
# usage: e2e_dpi.sh ORVEN_EXE WORK_DIR
set -uo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 ORVEN_EXE WORK_DIR" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
orven_exe=$(realpath "$1")
mkdir -p "$2"
artifacts=$(realpath "$2")
wine_run="$here/wine-run.sh"
server=/usr/lib/wine/wineserver64
[ -x "$server" ] || server=wineserver

for tool in Xvfb xdotool xwininfo import convert; do
  if ! command -v "$tool" >/dev/null; then
    echo "FAIL: $tool is not installed (scripts/install-deps.sh test installs it)"
    exit 1
  fi
done

export LANG=C.UTF-8 LC_ALL=C.UTF-8
export WINEPREFIX="$artifacts/wineprefix-dpi"
export WINEDEBUG=-all
export ORVEN_WINE_GRAPHICS=""

work=$(mktemp -d)
xvfb_pid=""
orven_pid=""
cleanup() {
  [ -n "$orven_pid" ] && kill "$orven_pid" 2>/dev/null
  [ -d "$WINEPREFIX" ] && "$server" -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
dpi=""
fail() {
  import -window root "$artifacts/e2e-dpi-failure.png" 2>/dev/null
  echo "FAIL (${dpi:-setup} DPI): $*"
  exit 1
}
poll_interval=0.2
# shellcheck source=../support/wait_until.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/wait_until.sh"

Xvfb -displayfd 3 -screen 0 2048x1536x24 -nolisten tcp -noreset 3>"$work/display" \
  2>"$work/xvfb.log" &
xvfb_pid=$!
display_known() { [ -s "$work/display" ]; }
wait_until 15 display_known || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"
"$wine_run" cmd /c exit >/dev/null 2>&1 || fail "no Wine prefix"

main_title='^ОРВЕН \(версия 10\.4\.1\.\)$'
find_window() { xdotool search --name "$1" 2>/dev/null | head -n1; }
window_shown() { [ -n "$(find_window "$1")" ]; }
geometry() {  # x y width height of a window, frame included
  xwininfo -id "$1" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
    /Width:/ { w = $NF } /Height:/ { h = $NF } END { print x, y, w, h }'
}
scaled() { echo $(((($1) * dpi + 48) / 96)); }
panel=2C3AC1

declare -A title_width
for dpi in 96 192; do
  # The DPI is read when Wine's processes start: the server ends, the setting changes.
  "$server" -k 2>/dev/null
  "$server" -w 2>/dev/null
  "$wine_run" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
    >/dev/null 2>&1 || fail "LogPixels could not be set"
  (cd "$work" && exec "$wine_run" explorer /desktop=orvendpi,1900x1450 "$orven_exe" \
    >"$work/orven.log" 2>&1) &
  orven_pid=$!
  wait_until 60 window_shown "$main_title" || fail "no main window: $(cat "$work/orven.log")"
  read -r win_x win_y width height < <(geometry "$(find_window "$main_title")")
  [ "$width" -eq "$(scaled 800)" ] && [ "$height" -eq "$(scaled 600)" ] ||
    fail "the window is $width x $height, expected $(scaled 800) x $(scaled 600)"

  shot="$work/shot.png"
  pixel() { convert "$shot" -format '%[hex:p{'"$1,$2"'}]' info: 2>/dev/null; }
  # The client area starts where the panel does (as in e2e.sh).
  client_found() {
    import -window root "$shot" 2>/dev/null || return 1
    client_x=""
    client_y=""
    for ((x = win_x; x < win_x + 40; ++x)); do
      [ "$(pixel "$x" $((win_y + height / 2)))" = "$panel" ] && client_x=$x && break
    done
    [ -n "$client_x" ] || return 1
    for ((y = win_y; y < win_y + 80; ++y)); do
      [ "$(pixel $((client_x + $(scaled 120))) "$y")" = "$panel" ] && client_y=$y && break
    done
    [ -n "$client_y" ]
  }
  wait_until 20 client_found || fail "the panel was never painted"
  sleep 1
  import -window root "$shot" 2>/dev/null
  convert "$shot" -crop "${width}x${height}+${win_x}+${win_y}" +repage "$artifacts/e2e-dpi$dpi.png"
  echo "$dpi DPI: window $width x $height, screenshot" \
    "$(convert "$artifacts/e2e-dpi$dpi.png" -format '%w x %h' info:)"

  expect_colour() {  # COLOUR X Y, in client coordinates at 96 DPI
    local got
    got=$(pixel $((client_x + $(scaled "$2"))) $((client_y + $(scaled "$3"))))
    [ "$got" = "$1" ] || fail "client ($2, $3) at 96 DPI is #$got, expected #$1"
  }
  # The panel up to its last column, the black line as wide as a pixel scaled, white after.
  for point in "5 300" "120 300" "238 300" "238 5" "120 540"; do expect_colour "$panel" $point; done
  for ((x = $(scaled 239); x < $(scaled 240); ++x)); do
    got=$(pixel $((client_x + x)) $((client_y + $(scaled 300))))
    [ "$got" = 000000 ] || fail "the panel's line at client x $x is #$got"
  done
  for point in "240 300" "600 300" "780 20" "628 534"; do expect_colour FFFFFF $point; done
  # The buttons' edges: "Выход" from 530 to 624, "Далее" from 630 to 724 at 96 DPI.
  for x in 530 630; do
    got=$(pixel $((client_x + $(scaled $x))) $((client_y + $(scaled 534))))
    [ "$got" != FFFFFF ] || fail "no button edge at client x $x (96 DPI)"
  done
  # The title line, drawn in the scaled title font: its width in pixels.
  title_width[$dpi]=$(convert "$shot" -crop \
    "$(scaled 520)x$(scaled 34)+$((client_x + $(scaled 250)))+$((client_y + $(scaled 38)))" \
    +repage -fuzz 10% -trim -format '%w' info:)
  echo "$dpi DPI: the title is ${title_width[$dpi]} pixels wide"

  kill "$orven_pid" 2>/dev/null
  "$server" -k 2>/dev/null
  wait "$orven_pid" 2>/dev/null
  orven_pid=""
done
dpi=""
ratio=$(awk -v a="${title_width[96]}" -v b="${title_width[192]}" 'BEGIN { printf "%.2f", b / a }')
awk -v r="$ratio" 'BEGIN { exit !(r >= 1.85 && r <= 2.15) }' ||
  fail "the title at 192 DPI is $ratio times as wide as at 96"
echo "e2e.win32.dpi: 96 and 192 DPI passed (title $ratio times as wide)"
