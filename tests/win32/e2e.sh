#!/usr/bin/env bash
# End to end under Xvfb and wine64, as a person uses orven.exe: starts it in a Wine virtual
# desktop and checks the painted panel, line and background from a screenshot; a run by the
# keyboard alone (Tab, Shift+Tab, the arrows, Return); a run whose report cannot be written
# shows "Ошибка" and opens nothing; training mode by typing a source path into the Open
# dialog, expert mode on a script in a folder with a Cyrillic name (pasted), "Готово!"
# dismissed with Return, the outputs beside the chosen file (the dialog showed another
# folder) and byte for byte what the Linux orven-cli writes for the same files; a cancelled
# dialog; "Выход"; then orven.exe started on a file named on its command line, and Escape.
# A stub xdg-open first in PATH records what Wine hands to the desktop.
#
# usage: e2e.sh ORVEN_EXE ORVEN_CLI_EXE LINUX_ORVEN_CLI SOURCE_ROOT WORK_DIR
# WORK_DIR keeps the Wine prefix from one run to the next (it is created once, about 20 s)
# and receives the screenshots.
set -uo pipefail

if [ $# -ne 5 ]; then
  echo "usage: $0 ORVEN_EXE ORVEN_CLI_EXE LINUX_ORVEN_CLI SOURCE_ROOT WORK_DIR" >&2
  exit 2
fi
started=$EPOCHREALTIME
here=$(cd "$(dirname "$0")" && pwd)
orven_exe=$(realpath "$1")
cli_exe=$(realpath "$2")
linux_cli=$(realpath "$3")
source_root=$(realpath "$4")
mkdir -p "$5"
artifacts=$(realpath "$5")
wine_run="$here/wine-run.sh"
server=/usr/lib/wine/wineserver64
[ -x "$server" ] || server=wineserver

for tool in Xvfb xdotool xwininfo xclip import convert; do
  if ! command -v "$tool" >/dev/null; then
    echo "FAIL: $tool is not installed (scripts/install-deps.sh test installs it)"
    exit 1
  fi
done

# Dialog titles follow the locale, and Wine reads file names and arguments as UTF-8 in it.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
export WINEPREFIX="$artifacts/wineprefix-desktop"
export WINEDEBUG=-all
export ORVEN_WINE_GRAPHICS=""  # the X11 driver, on the Xvfb screen

work=$(mktemp -d)
xvfb_pid=""
orven_pid=""
cleanup() {
  [ -n "$orven_pid" ] && kill "$orven_pid" 2>/dev/null
  [ -d "$WINEPREFIX" ] && WINEPREFIX="$WINEPREFIX" "$server" -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

step="start"
fail() {
  local shot="$artifacts/e2e-failure.png"
  import -window root "$shot" 2>/dev/null && echo "screenshot: $shot"
  echo "FAIL ($step): $*"
  for folder in "$work/run" "$work/sources" "$work/Скрипты ОРВЕН"; do
    echo "$folder:" $(ls "$folder" 2>/dev/null)
  done
  [ -f "$work/opened.log" ] && echo "handed to xdg-open:" && cat "$work/opened.log"
  exit 1
}

poll_interval=0.1
# shellcheck source=../support/wait_until.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/wait_until.sh"

seconds_since() { awk -v from="$1" -v to="$EPOCHREALTIME" 'BEGIN { printf "%.1f", to - from }'; }

# --- the X server and the Wine prefix ----------------------------------------------------
step="Xvfb"
# -noreset: the server keeps its state between clients.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" \
  2>"$work/xvfb.log" &
xvfb_pid=$!
display_known() { [ -s "$work/display" ]; }
wait_until 15 display_known || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"

# The stub that stands for the desktop's opener: Wine's winebrowser hands documents to it.
mkdir -p "$work/bin"
cat >"$work/bin/xdg-open" <<STUB
#!/bin/sh
printf '%s\n' "\$*" >>"$work/opened.log"
STUB
chmod +x "$work/bin/xdg-open"
export PATH="$work/bin:$PATH"

step="Wine prefix"
prefix_started=$EPOCHREALTIME
# wine-run.sh makes the prefix, afresh when the Wine installation changed; the file
# associations below then go into it once.
"$wine_run" cmd /c exit >/dev/null 2>&1
if [ ! -f "$WINEPREFIX/.orven-e2e-v2" ]; then
  # Created without Gecko, the prefix lacks the .html and .txt associations that a Windows
  # system has; both outputs go to winebrowser, which passes them on to xdg-open.
  "$wine_run" reg add 'HKCR\.html' /ve /d htmlfile /f >/dev/null 2>&1 &&
    "$wine_run" reg add 'HKCR\htmlfile\shell\open\command' /ve /f \
      /d '"C:\windows\system32\winebrowser.exe" "%1"' >/dev/null 2>&1 &&
    "$wine_run" reg add 'HKCR\.txt' /ve /d txtfile /f >/dev/null 2>&1 &&
    "$wine_run" reg add 'HKCR\txtfile\shell\open\command' /ve /f \
      /d '"C:\windows\system32\winebrowser.exe" "%1"' >/dev/null 2>&1 ||
    fail "the Wine prefix could not be set up"
  touch "$WINEPREFIX/.orven-e2e-v2"
fi
echo "wine prefix ready in $(seconds_since "$prefix_started") s"

# --- inputs and the Linux reference outputs ----------------------------------------------
step="reference outputs"
mkdir -p "$work/run" "$work/sources" "$work/Скрипты ОРВЕН" "$work/expect-training" \
  "$work/expect-expert" "$work/cli-training" "$work/cli-expert" "$work/keys" "$work/given"
source_file="$work/sources/guestbook.php"
cp "$source_root/samples/guestbook.php" "$source_file"
cp "$source_root/samples/guestbook.php" "$work/given/guestbook.php"
script_file="$work/Скрипты ОРВЕН/расчёт.txt"
cat >"$script_file" <<'SCRIPT'
#root::math::get_ctr 7 100
#root::math::get_ctr 11 5
#root::math::vptga 1000
#root::math::oerp 10 20 500
note #root::math::pkss 1500
#root::hv::get_strlenTITLE 12
SCRIPT
cp "$script_file" "$work/keys/script.txt"
(cd "$work/expect-training" && "$linux_cli" training "$source_file" >/dev/null) ||
  fail "the Linux orven-cli failed on $source_file"
(cd "$work/expect-expert" && "$linux_cli" expert "$script_file" >/dev/null) ||
  fail "the Linux orven-cli failed on $script_file"

# Windows paths of the inputs, as a person would type them.
windows_path() { printf 'Z:%s' "$1" | tr '/' '\\'; }

# orven-cli.exe writes what the Linux orven-cli writes.
step="orven-cli.exe"
(cd "$work/cli-training" && "$wine_run" "$cli_exe" training "$(windows_path "$source_file")" \
  >/dev/null 2>&1) || fail "orven-cli.exe training failed"
cmp "$work/cli-training/result.html" "$work/expect-training/result.html" ||
  fail "orven-cli.exe training: result.html differs from the Linux one"
(cd "$work/cli-expert" && "$wine_run" "$cli_exe" expert "$(windows_path "$script_file")" \
  >/dev/null 2>&1) || fail "orven-cli.exe expert failed"
cmp "$work/cli-expert/orven_log.txt" "$work/expect-expert/orven_log.txt" ||
  fail "orven-cli.exe expert: orven_log.txt differs from the Linux one"

# --- the window ---------------------------------------------------------------------------
find_window() { xdotool search --name "$1" 2>/dev/null | head -n1; }
window_shown() { [ -n "$(find_window "$1")" ]; }
# Gone is gone from the screen: Wine may keep a closed window's unmapped X window, still
# named, a while longer (seconds when the machine is busy).
window_gone() { [ -z "$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)" ]; }
# xdotool's getwindowgeometry counts the virtual desktop's offset twice; xwininfo does not.
window_origin() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
                           END { print x, y }'
}
main_title='^ОРВЕН \(версия 10\.4\.1\.\)$'
done_title='^Готово!$'
error_title='^Ошибка$'
open_title='^Open$'

step="launch"
gui_started=$EPOCHREALTIME
(cd "$work/run" && exec "$wine_run" explorer /desktop=orven,1024x768 "$orven_exe" \
  >"$work/orven.log" 2>&1) &
orven_pid=$!
wait_until 60 window_shown "$main_title" || fail "no main window: $(cat "$work/orven.log")"
read -r win_x win_y < <(window_origin "$(find_window "$main_title")")

shot="$work/shot.png"
screenshot() { import -window root "$shot" 2>/dev/null; }
pixel() { convert "$shot" -format '%[hex:p{'"$1,$2"'}]' info: 2>/dev/null; }
panel=2C3AC1

# The client area starts where the panel does: the first panel pixel of a row in the middle
# of the window, and of the column at client x = 120, which no text crosses.
client_found() {
  screenshot || return 1
  client_x=""
  client_y=""
  for ((x = win_x; x < win_x + 40; ++x)); do
    if [ "$(pixel "$x" $((win_y + 300)))" = "$panel" ]; then
      client_x=$x
      break
    fi
  done
  [ -n "$client_x" ] || return 1
  for ((y = win_y; y < win_y + 60; ++y)); do
    if [ "$(pixel $((client_x + 120)) "$y")" = "$panel" ]; then
      client_y=$y
      break
    fi
  done
  [ -n "$client_y" ]
}
step="paint"
wait_until 20 client_found || fail "the panel was never painted"
cp "$shot" "$artifacts/e2e-window.png"

expect_colour() {
  local want=$1 x=$2 y=$3
  local got
  got=$(pixel $((client_x + x)) $((client_y + y)))
  [ "$got" = "$want" ] || fail "client ($x, $y) is #$got, expected #$want"
}
step="colours"
for point in "0 300" "5 300" "120 10" "120 300" "230 300" "238 5" "238 300" "238 560"; do
  expect_colour "$panel" $point
done
for point in "239 5" "239 300" "239 560"; do
  expect_colour 000000 $point
done
for point in "240 300" "600 300" "780 20" "400 500" "780 560"; do
  expect_colour FFFFFF $point
done

click_client() {
  xdotool mousemove $((client_x + $1)) $((client_y + $2)) click 1
}
# Clicks a window's caption, so that the keys that follow go to it.
activate() {
  local id x y
  id=$(find_window "$1")
  [ -n "$id" ] || return 1
  read -r x y < <(window_origin "$id")
  xdotool mousemove $((x + 60)) $((y + 8)) click 1
}
opened() { [ -f "$work/opened.log" ] && grep -q "$1" "$work/opened.log"; }

# "Далее", then the Open dialog: $1 is how the name gets in (type, paste or cancel), $2 the
# path, $3 the title of the message box expected at the end ("Готово!" unless given).
run_once() {
  local how=$1 path=${2:-} message=${3:-$done_title}
  click_client 677 534
  wait_until 20 window_shown "$open_title" || fail "no Open dialog"
  activate "$open_title"
  sleep 0.3
  case $how in
    type) xdotool type --delay 5 "$path" ;;
    paste)
      printf '%s' "$path" | xclip -selection clipboard 2>/dev/null
      xdotool key ctrl+v
      ;;
  esac
  if [ "$how" = cancel ]; then xdotool key Escape; else xdotool key Return; fi
  wait_until 30 window_shown "$message" || fail "no message box titled $message"
  activate "$message"
  sleep 0.2
  xdotool key Return
  wait_until 15 window_gone "$message" || fail "Return did not dismiss $message"
}

# Where the outputs landed: the folder orven started in, or the one the dialog left as the
# current directory.
output_folder() {
  local name=$1 folder
  for folder in "$work/run" "$(dirname "$source_file")" "$(dirname "$script_file")"; do
    if [ -f "$folder/$name" ]; then
      echo "$folder"
      return 0
    fi
  done
  return 1
}
have_output() { output_folder "$1" >/dev/null; }
have_file() { [ -f "$1" ]; }

# The keyboard alone, from the start (the focus is on the mode list): Tab round the three
# controls and Shift+Tab back to the list, Down for expert mode, Return for "Далее" (the
# default button); the Open dialog opens on the folder orven started in, and the script's
# full path typed there puts the log beside the script. A focus in the wrong place would
# leave training mode selected or press another button.
step="keyboard"
activate "$main_title"
sleep 0.3
xdotool key Tab Tab Tab shift+Tab shift+Tab shift+Tab Down Return
wait_until 20 window_shown "$open_title" || fail "Return in the mode list opened no Open dialog"
activate "$open_title"
sleep 0.3
xdotool type --delay 5 "$(windows_path "$work/keys/script.txt")"
xdotool key Return
wait_until 30 window_shown "$done_title" || fail "no message box after the keyboard run"
activate "$done_title"
sleep 0.2
xdotool key Return
wait_until 15 window_gone "$done_title" || fail "Return did not dismiss $done_title"
wait_until 15 have_file "$work/keys/orven_log.txt" ||
  fail "no orven_log.txt beside the script chosen by the keyboard"
cmp "$work/keys/orven_log.txt" "$work/expect-expert/orven_log.txt" ||
  fail "the keyboard run's orven_log.txt differs from the Linux orven-cli's"
[ ! -e "$work/run/orven_log.txt" ] || fail "the log landed where the dialog opened"
# Training mode again for the runs below.
click_client 500 390
sleep 0.3
xdotool key Up Return

# A report that cannot be written (a folder stands in its place beside the source): the
# error message instead of "Готово!", and nothing is handed to the desktop.
step="failure"
mkdir "$work/sources/result.html"
run_once type "$(windows_path "$source_file")" "$error_title"
sleep 1
! opened result.html || fail "a failed run handed result.html to the desktop"
[ -z "$(ls -A "$work/sources/result.html")" ] || fail "the failed run wrote into the folder"
rmdir "$work/sources/result.html"

# The source's full path typed into the dialog, which shows the script's folder now: the
# outputs land beside the source.
step="training"
run_once type "$(windows_path "$source_file")"
wait_until 15 have_file "$work/sources/result.html" || fail "no result.html beside the source"
folder=$work/sources
cmp "$folder/result.html" "$work/expect-training/result.html" ||
  fail "result.html differs from the Linux orven-cli's"
wait_until 15 opened result.html || fail "result.html was not handed to the desktop"
[ -s "$folder/readme.txt" ] || fail "no readme.txt beside result.html"
cmp "$folder/readme.txt" "$work/expect-training/readme.txt" || fail "readme.txt differs"

step="expert"
click_client 500 390
sleep 0.3
xdotool key Down Return
run_once paste "$(windows_path "$script_file")"
wait_until 15 have_file "$work/Скрипты ОРВЕН/orven_log.txt" || fail "no orven_log.txt beside the script"
folder="$work/Скрипты ОРВЕН"
cmp "$folder/orven_log.txt" "$work/expect-expert/orven_log.txt" ||
  fail "orven_log.txt differs from the Linux orven-cli's"
wait_until 15 opened orven_log.txt || fail "orven_log.txt was not handed to the desktop"

# Cancelled: still the message and a fresh readme.txt, in whatever folder the dialogs left
# current (Wine's dialog moves it to the folder it last showed, where there may be no
# orven_log.txt, and then nothing is asked to open).
step="cancel"
rm -f "$work/run/readme.txt" "$work/sources/readme.txt" "$work/Скрипты ОРВЕН/readme.txt"
run_once cancel
wait_until 15 have_output readme.txt || fail "a cancelled run did not rewrite readme.txt"
cmp "$folder/orven_log.txt" "$work/expect-expert/orven_log.txt" ||
  fail "a cancelled run changed orven_log.txt"

step="exit"
click_client 577 534
wait_until 20 window_gone "$main_title" || fail "\"Выход\" did not close the window"
exited() { ! kill -0 "$orven_pid" 2>/dev/null; }
wait_until 20 exited || fail "the program did not end after \"Выход\""
orven_pid=""

# orven.exe FILE ("Open with"): training mode runs on the file as soon as the window is
# shown, the outputs beside it; Escape then presses "Выход".
step="command line"
rm -f "$work/opened.log"
(cd "$work/run" && exec "$wine_run" explorer /desktop=orven,1024x768 "$orven_exe" \
  "$(windows_path "$work/given/guestbook.php")" >"$work/orven.log" 2>&1) &
orven_pid=$!
wait_until 60 window_shown "$done_title" || fail "no message box for the file on the command line"
window_shown "$main_title" || fail "the message box came without the main window"
activate "$done_title"
sleep 0.2
xdotool key Return
wait_until 15 window_gone "$done_title" || fail "Return did not dismiss $done_title"
cmp "$work/given/result.html" "$work/expect-training/result.html" ||
  fail "the command line's result.html differs from the Linux orven-cli's"
wait_until 15 opened result.html || fail "result.html was not handed to the desktop"
[ ! -e "$work/run/result.html" ] || fail "the command line's report landed in the start folder"
activate "$main_title"
sleep 0.3
xdotool key Escape
wait_until 20 window_gone "$main_title" || fail "Escape did not close the window"
wait_until 20 exited || fail "the program did not end after Escape"
orven_pid=""

echo "e2e.win32: window, keyboard, failure, training, expert, cancel, exit and command line passed" \
  "(window part $(seconds_since "$gui_started") s, whole run $(seconds_since "$started") s)"
