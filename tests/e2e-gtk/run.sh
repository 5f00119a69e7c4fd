#!/usr/bin/env bash
# End to end, as a person uses the desktop window: starts Xvfb, launches the real orven in a
# temporary folder, checks the painted colours, runs training and expert mode through the
# file chooser (typing the file's path), dismisses the message with Return, compares the
# outputs with orven-cli's and checks the open request (a stub xdg-open records it); then a
# cancelled chooser, a failure and "Выход". The dialog is checked as a window manager and a
# screen reader see it: its title, that it is a transient of the main window and stacked
# above it (under openbox also after the main window was raised), and, through AT-SPI, the
# names of its filters. The passes: the mouse without a window manager and under openbox;
# the keyboard alone; a screen reader alone (AT-SPI: the tree, every query within a second
# before, during and after the dialog and the message, the buttons activated through it);
# files named on the command line; files and folders dropped from a drag source (XDND);
# GDK_SCALE=2; and, when weston is there, the screen reader's pass again on headless Wayland
# and, for the keys, on a Weston shown in a window of the X server.
#
# usage: run.sh ORVEN ORVEN_CLI SOURCE_ROOT ARTIFACT_DIR
set -uo pipefail

mkdir -p "$4"
# GTK's own words (the dialog's Cancel, the message's OK) as the screen-reader passes name
# them, whatever language the machine speaks.
export LC_ALL=C.UTF-8
unset LANGUAGE
# orven's own leaks are covered by the unit tests; GTK's and fontconfig's are not ours.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
orven=$(realpath "$1")
cli=$(realpath "$2")
source_root=$(realpath "$3")
artifacts=$(realpath "$4")

for tool in Xvfb xdotool xwininfo xprop import convert openbox dbus-daemon weston; do
  if ! command -v "$tool" >/dev/null; then
    echo "FAIL: $tool is not installed (scripts/install-deps.sh test installs it)"
    exit 1
  fi
done
if ! /usr/bin/python3 -c 'import pyatspi' 2>/dev/null; then
  echo "FAIL: python3-pyatspi is not installed (scripts/install-deps.sh test installs it)"
  exit 1
fi

# What the dialog must show, from the texts the program shows it with.
dialog_title=$(cat "$source_root"/texts/*.h | sed -n 's/.*kOpenDialogTitle = "\(.*\)"_cp;.*/\1/p')
filter_names=$(cat "$source_root"/texts/*.h |
  sed -n 's/^ *{"\([^"]*\)"_cp, "\*\.[a-z]*"_cp},\{0,1\}$/\1/p')
if [ -z "$dialog_title" ] || [ "$(wc -l <<<"$filter_names")" -ne 6 ]; then
  echo "FAIL: the dialog's title and six filters were not found in texts/"
  exit 1
fi

work=$(mktemp -d)
xvfb_pid=""
orven_pid=""
bus_pid=""
atspi_pid=""
wm_pid=""
weston_pid=""
weston_x11_pid=""
listener_pid=""
cleanup() {
  [ -n "$orven_pid" ] && kill "$orven_pid" 2>/dev/null
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
  [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null
  [ -n "$weston_x11_pid" ] && kill "$weston_x11_pid" 2>/dev/null
  [ -n "$listener_pid" ] && kill "$listener_pid" 2>/dev/null
  [ -n "$atspi_pid" ] && kill "$atspi_pid" 2>/dev/null
  [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null
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
  if [ -n "$xvfb_pid" ]; then
    kill -0 "$xvfb_pid" 2>/dev/null || echo "Xvfb is no longer running"
    [ -s "$work/xvfb.log" ] && tail -n 20 "$work/xvfb.log"
  fi
  exit 1
}

poll_interval=0.05
# shellcheck source=../support/wait_until.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/wait_until.sh"

# --- one toolkit ---------------------------------------------------------------------------
step="libraries"
if ldd "$orven" | grep -i fltk; then
  fail "orven still loads FLTK"
fi

# --- without a display -------------------------------------------------------------------
step="no display"
env -u DISPLAY -u WAYLAND_DISPLAY "$orven" >"$work/out" 2>"$work/err"
status=$?
[ $status -eq 1 ] || fail "exit status $status without a display, expected 1"
[ "$(wc -l <"$work/err")" -eq 1 ] || fail "expected one line on stderr: $(cat "$work/err")"
grep -q "orven-cli" "$work/err" || fail "the line does not point to orven-cli: $(cat "$work/err")"
[ ! -s "$work/out" ] || fail "unexpected stdout: $(cat "$work/out")"

# --- the X server ------------------------------------------------------------------------
step="Xvfb"
# -noreset: by default the server resets when its last client leaves and drops every
# connection still being set up, so a window started just as the previous one ended would
# be cut off at once (GTK then finds no display, and orven says so). The screen holds the
# window at scale 2 as well.
Xvfb -displayfd 3 -screen 0 2048x1536x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
display_known() { [ -s "$work/display" ]; }
wait_until 15 display_known || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"

# A display that cannot be opened says the same as no display at all.
step="unreachable display"
DISPLAY=":$((${DISPLAY#:} + 50))" "$orven" >/dev/null 2>"$work/err"
status=$?
[ $status -eq 1 ] || fail "exit status $status with an unreachable display, expected 1"
grep -q "orven-cli" "$work/err" || fail "the line does not point to orven-cli: $(cat "$work/err")"

# A session bus, through which GTK's accessibility bridge reaches AT-SPI (started on demand).
step="session bus"
dbus-daemon --session --nofork --print-address=3 3>"$work/bus" 2>"$work/bus.log" &
bus_pid=$!
bus_known() { [ -s "$work/bus" ]; }
wait_until 10 bus_known || fail "dbus-daemon did not start: $(cat "$work/bus.log")"
export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/bus")
# The accessibility bus, as a desktop session starts it.
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/atspi.log" 2>&1 &
atspi_pid=$!

# The stub that stands for the desktop's opener.
mkdir -p "$work/bin" "$work/inputs"
cat >"$work/bin/xdg-open" <<STUB
#!/bin/sh
printf '%s\n' "\$*" >>"$work/open.log"
STUB
chmod +x "$work/bin/xdg-open"
export PATH="$work/bin:$PATH"
touch "$work/open.log"
cp "$source_root/samples/guestbook.php" "$work/inputs/guestbook.php"
printf '%s\n' '#root::math::get_ctr 100 10' '#root::math::vptya 3' '#root::hv::get_strlenTITLE 40' \
  'note #root::math::pkss 1500' '' >"$work/inputs/script.txt"

# What orven-cli writes for the same inputs.
step="orven-cli"
mkdir -p "$work/cli-training" "$work/cli-expert"
(cd "$work/cli-training" && "$cli" training "$work/inputs/guestbook.php" >/dev/null) ||
  fail "orven-cli training failed"
(cd "$work/cli-expert" && "$cli" expert "$work/inputs/script.txt" >/dev/null) ||
  fail "orven-cli expert failed"

caption="ОРВЕН (версия 10.4.1.)"
main=""
find_main() {
  main=""
  main=$(window_titled "$caption") && [ -n "$main" ]
}
visible_ids() { xdotool search --onlyvisible --classname "$1" 2>/dev/null; }
is_visible() { [ "$(xwininfo -id "$1" 2>/dev/null | awk '/Map State/ {print $3}')" = IsViewable ]; }
not_visible() { ! is_visible "$1"; }
# How many top-level windows are on the screen (the mode list's menu has no class).
viewable_windows() {
  local id count=0
  for id in $(xwininfo -root -children | awk '$1 ~ /^0x/ {print $1}'); do
    is_visible "$id" && count=$((count + 1))
  done
  echo $count
}
size_of() { xwininfo -id "$1" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}'; }

title_of() { xprop -id "$1" _NET_WM_NAME 2>/dev/null | sed -n 's/.*= "\(.*\)"$/\1/p'; }
# The first visible window of ours with one of the titles given.
window_titled() {
  local id title want
  for id in $(visible_ids '^orven$'); do
    [ "$id" = "$main" ] && continue
    title=$(title_of "$id")
    for want in "$@"; do
      [ "$title" = "$want" ] && { echo "$id"; return 0; }
    done
  done
  return 1
}
chooser=""
find_chooser() { chooser=$(window_titled "$dialog_title"); }

atspi() { /usr/bin/python3 "$source_root/tests/e2e-gtk/atspi.py" orven "$@"; }

# Top-level windows from the bottom of the stack to the top: the window manager's list when
# one runs, else the server's order (xwininfo lists it top first).
stacking() {
  local list
  list=$(xprop -root _NET_CLIENT_LIST_STACKING 2>/dev/null | grep -o '0x[0-9a-f]*')
  if [ -n "$list" ]; then
    echo "$list"
  else
    xwininfo -root -children | awk '$1 ~ /^0x/ {print $1}' | tac
  fi
}
above() {  # above A B: window A is stacked higher than window B
  local id i=0 at_a=-1 at_b=-1
  while read -r id; do
    [ $((id)) -eq $(($1)) ] && at_a=$i
    [ $((id)) -eq $(($2)) ] && at_b=$i
    i=$((i + 1))
  done < <(stacking)
  [ $at_a -ge 0 ] && [ $at_b -ge 0 ] && [ $at_a -gt $at_b ]
}

# The open dialog as the window manager and a screen reader see it.
check_dialog() {
  local title transient shown
  title=$(xprop -id "$chooser" _NET_WM_NAME | sed -n 's/.*= "\(.*\)"$/\1/p')
  [ "$title" = "$dialog_title" ] || fail "the dialog is titled '$title'"
  transient=$(xprop -id "$chooser" WM_TRANSIENT_FOR | grep -o '0x[0-9a-f]*')
  [ -n "$transient" ] && [ $((transient)) -eq $((main)) ] ||
    fail "the dialog is no transient of the main window: $(xprop -id "$chooser" WM_TRANSIENT_FOR)"
  above "$chooser" "$main" || fail "the dialog is below the main window: $(stacking | tr '\n' ' ')"
  if [ "$wm" = openbox ]; then
    xdotool windowraise "$main"
    sleep 0.5
    above "$chooser" "$main" || fail "raising the main window hid the dialog: $(stacking | tr '\n' ' ')"
  fi
  wait_until 10 atspi dialog >/dev/null || fail "AT-SPI shows no open dialog of orven"
  shown=$(atspi dialog)
  [ "$shown" = "$(printf '%s\n' "$dialog_title" "$filter_names")" ] ||
    fail "the dialog shows: $(tr '\n' '|' <<<"$shown")"
  echo "pass $pass: dialog '$title', transient for and above the main window" \
    "($wm), filters: $(tail -n +2 <<<"$shown" | tr '\n' '|')"
}

message=""
find_message() { message=$(window_titled "Готово!" "Ошибка"); }

message_caption() { title_of "$message"; }

# Presses "Далее", types the file's path into the chooser and presses Return, or cancels
# the chooser when no path is given; then waits for the message box. GTK's chooser takes the
# absolute path ("/" opens its location field).
run_with() {
  local path=${1:-}
  xdotool mousemove --window "$main" 677 534 click 1
  wait_until 20 find_chooser || fail "no file chooser appeared"
  if [ -n "$dialog_unchecked" ]; then
    check_dialog
    dialog_unchecked=""
  fi
  xdotool windowraise "$chooser" windowfocus --sync "$chooser"
  if [ -z "$path" ]; then
    xdotool key --clearmodifiers Escape
  else
    xdotool type --delay 10 "$path"
  fi
  [ -n "${E2E_DEBUG:-}" ] && import -window root "$artifacts/typed-${step/: /-}.png"
  [ -n "$path" ] && xdotool key --clearmodifiers Return
  wait_until 20 find_message || fail "no message box appeared"
}

dismiss_message() {
  xdotool windowraise "$message" windowfocus --sync "$message" key --clearmodifiers Return
  wait_until 10 not_visible "$message" || fail "Return did not close the message box"
}

opened() { grep -qxF "$1" "$work/open.log"; }

# One whole session: $1 names the pass, $2 is the HOME it runs with, $3 the window manager
# (none or openbox).
session() {
  local pass=$1
  export HOME=$2
  wm=$3
  mkdir -p "$HOME/.local/share/icons/hicolor/48x48/apps" "$work/$pass"
  # The window's icon, as the package installs it (a plain square: what matters is that the
  # window gets one).
  convert -size 48x48 xc:'#2C3AC1' "$HOME/.local/share/icons/hicolor/48x48/apps/orven.png"
  : >"$work/open.log"
  dialog_unchecked=yes

  step="$pass: start"
  local started=$SECONDS
  (cd "$work/$pass" && exec "$orven") &
  orven_pid=$!
  wait_until 15 find_main || fail "the main window did not appear"
  [ "$(size_of "$main")" = "794x571" ] || fail "client area $(size_of "$main"), expected 794x571"
  # The legacy names as well, which Cyrillic needs as COMPOUND_TEXT (xprop decodes it).
  local legacy
  for legacy in WM_NAME WM_ICON_NAME; do
    LC_ALL=C.UTF-8 xprop -id "$main" $legacy |
      grep -qxF "$legacy(COMPOUND_TEXT) = \"ОРВЕН (версия 10.4.1.)\"" ||
      fail "$(LC_ALL=C.UTF-8 xprop -id "$main" $legacy)"
  done

  step="$pass: colours"
  local shot="$work/$pass-window.png" expect spot got
  panel_painted() {
    import -window "$main" "$shot" 2>/dev/null &&
      [ "$(convert "$shot" -crop 1x1+5+300 +repage -depth 8 -format '%[hex:p{0,0}]' info:)" = 2C3AC1 ]
  }
  wait_until 10 panel_painted || fail "the panel was not painted"
  for expect in 0+0=2C3AC1 5+300=2C3AC1 238+570=2C3AC1 225+100=2C3AC1 239+0=000000 \
    239+300=000000 239+570=000000 240+300=FFFFFF 500+300=FFFFFF 793+0=FFFFFF 793+570=FFFFFF; do
    spot=${expect%=*}
    got=$(convert "$shot" -crop "1x1+${spot%+*}+${spot#*+}" +repage -depth 8 \
      -format '%[hex:p{0,0}]' info:)
    [ "$got" = "${expect#*=}" ] || fail "pixel ($spot) is $got, expected ${expect#*=}"
  done
  # Something is drawn: white digits on the panel, black introduction text on the white.
  [ "$(convert "$shot" -crop 160x571+0+0 +repage -fill black +opaque white -format '%[fx:mean>0]' info:)" = 1 ] ||
    fail "no digits on the panel"
  [ "$(convert "$shot" -crop 500x200+260+40 +repage -fill white +opaque black -format '%[fx:mean<1]' info:)" = 1 ] ||
    fail "no introduction text"
  cp "$shot" "$artifacts/$pass-window.png"

  # The icon and the drop target are set up after the first frame; the window still gets
  # both (XdndAware: the window takes drops).
  step="$pass: icon and drop target"
  has_property() { ! xprop -id "$main" "$1" | grep -q 'not found'; }
  wait_until 10 has_property _NET_WM_ICON || fail "the window has no icon"
  wait_until 10 has_property XdndAware || fail "the window takes no drops"

  # The inputs lie in folders below the one orven starts in; each chosen file's folder
  # becomes the current directory, where its outputs land and the next chooser starts.
  local top="$work/$pass"
  mkdir -p "$top/src/scripts/bad/orven_log.txt"
  cp "$work/inputs/guestbook.php" "$top/src/"
  cp "$work/inputs/script.txt" "$top/src/scripts/"
  cp "$work/inputs/script.txt" "$top/src/scripts/bad/"

  step="$pass: training"
  run_with "$top/src/guestbook.php"
  [ "$(message_caption)" = "Готово!" ] || fail "message caption '$(message_caption)'"
  # The run is not over before its message is: «Далее» starts no second one meanwhile.
  xdotool mousemove --window "$main" 677 534 click 1
  sleep 1
  find_chooser && fail "«Далее» opened a second dialog while the message was shown"
  dismiss_message
  cmp -s "$top/src/result.html" "$work/cli-training/result.html" ||
    fail "result.html differs from orven-cli training's"
  # The readme is the run's last step, after the message.
  wait_until 10 cmp -s "$top/src/readme.txt" "$work/cli-training/readme.txt" ||
    fail "readme.txt differs"
  wait_until 10 opened "$top/src/result.html" ||
    fail "no open request for result.html: $(cat "$work/open.log")"

  step="$pass: expert"
  local before
  before=$(viewable_windows)
  xdotool mousemove --window "$main" 500 391 click 1
  menu_open() { [ "$(viewable_windows)" -gt "$before" ]; }
  wait_until 10 menu_open || fail "the mode list did not open"
  xdotool key --clearmodifiers Down Return
  menu_closed() { [ "$(viewable_windows)" -eq "$before" ]; }
  wait_until 10 menu_closed || fail "the mode list did not close"
  run_with "$top/src/scripts/script.txt"
  [ "$(message_caption)" = "Готово!" ] || fail "message caption '$(message_caption)'"
  dismiss_message
  cmp -s "$top/src/scripts/orven_log.txt" "$work/cli-expert/orven_log.txt" ||
    fail "orven_log.txt differs from orven-cli expert's"
  wait_until 10 opened "$top/src/scripts/orven_log.txt" ||
    fail "no open request for orven_log.txt: $(cat "$work/open.log")"

  step="$pass: cancel"
  rm -f "$top/src/scripts/readme.txt"
  : >"$work/open.log"
  run_with ""
  [ "$(message_caption)" = "Готово!" ] || fail "message caption '$(message_caption)'"
  dismiss_message
  wait_until 10 test -f "$top/src/scripts/readme.txt" ||
    fail "no fresh readme.txt after a cancelled chooser"
  wait_until 10 opened "$top/src/scripts/orven_log.txt" ||
    fail "no open request after cancel: $(cat "$work/open.log")"

  # A failure the mode reports (here the log being a folder) shows "Ошибка" and opens
  # nothing; the readme is still written.
  step="$pass: failure"
  : >"$work/open.log"
  run_with "$top/src/scripts/bad/script.txt"
  [ "$(message_caption)" = "Ошибка" ] || fail "message caption '$(message_caption)'"
  dismiss_message
  wait_until 10 test -f "$top/src/scripts/bad/readme.txt" || fail "no readme.txt after a failure"
  [ ! -s "$work/open.log" ] || fail "a failed run asked to open: $(cat "$work/open.log")"

  step="$pass: exit"
  xdotool mousemove --window "$main" 577 534 click 1
  local waited=0
  while kill -0 "$orven_pid" 2>/dev/null && [ $waited -lt 100 ]; do
    sleep 0.1
    waited=$((waited + 1))
  done
  kill -0 "$orven_pid" 2>/dev/null && fail "\"Выход\" did not end the program"
  wait "$orven_pid"
  status=$?
  orven_pid=""
  [ $status -eq 0 ] || fail "exit status $status after \"Выход\""
  [ -z "$dialog_unchecked" ] || fail "the dialog was never checked"
  echo "pass $pass: ok ($((SECONDS - started)) s)"
}

# Waits for orven to end by itself after $1 (what ended it) and checks its status 0.
ends_with_zero() {
  local waited=0
  while kill -0 "$orven_pid" 2>/dev/null && [ $waited -lt 100 ]; do
    sleep 0.1
    waited=$((waited + 1))
  done
  kill -0 "$orven_pid" 2>/dev/null && fail "$1 did not end the program"
  wait "$orven_pid"
  status=$?
  orven_pid=""
  [ $status -eq 0 ] || fail "exit status $status after $1"
}

# Starts orven in the folder $1 with the arguments after it and waits for its window.
start_orven() {
  local folder=$1
  shift
  (cd "$folder" && exec "$orven" "$@") &
  orven_pid=$!
  wait_until 15 find_main || fail "the main window did not appear"
}

# The keyboard alone: Tab and Shift+Tab between the list and the buttons, Return on
# «Далее», the path typed into the dialog, Return on the message; Return on the list presses
# «Далее» too; Escape cancels the dialog, dismisses the message and ends the program.
keyboard_pass() {
  pass=keyboard
  export HOME="$work/home-keyboard"
  mkdir -p "$HOME" "$work/$pass/src"
  cp "$work/inputs/guestbook.php" "$work/$pass/src/"
  : >"$work/open.log"
  step="$pass: start"
  start_orven "$work/$pass"
  xdotool windowfocus --sync "$main"
  # The list has the focus; Tab goes to «Выход», then «Далее»; Shift+Tab and Tab come back.
  xdotool key --clearmodifiers Tab Tab shift+Tab Tab Return
  step="$pass: training"
  wait_until 20 find_chooser || fail "Tab Tab Return did not open the dialog"
  xdotool windowfocus --sync "$chooser"
  xdotool type --delay 10 "$work/$pass/src/guestbook.php"
  xdotool key --clearmodifiers Return
  wait_until 20 find_message || fail "no message box appeared"
  [ "$(message_caption)" = "Готово!" ] || fail "message caption '$(message_caption)'"
  xdotool windowfocus --sync "$message" key --clearmodifiers Return
  wait_until 10 not_visible "$message" || fail "Return did not close the message box"
  cmp -s "$work/$pass/src/result.html" "$work/cli-training/result.html" ||
    fail "result.html differs from orven-cli training's"
  step="$pass: Return on the list, Escape"
  xdotool windowfocus --sync "$main" key --clearmodifiers shift+Tab shift+Tab Return
  wait_until 20 find_chooser || fail "Return on the mode list did not open the dialog"
  xdotool windowfocus --sync "$chooser" key --clearmodifiers Escape
  wait_until 20 find_message || fail "no message box after the cancelled dialog"
  xdotool windowfocus --sync "$message" key --clearmodifiers Escape
  wait_until 10 not_visible "$message" || fail "Escape did not close the message box"
  xdotool windowfocus --sync "$main" key --clearmodifiers Escape
  ends_with_zero "Escape"
  echo "pass $pass: ok"
}

# A screen reader alone: the tree as AT-SPI shows it (the introduction a paragraph per
# label), the mode list named by its question both ways and its focus as the buttons report
# theirs, and every query answered within a second before, during and after the dialog and
# the message; «Далее», the dialog's Cancel, the message's OK and «Выход» activated through
# AT-SPI. Where there is a keyboard, the list has the focus when the window opens, Tab
# takes it to «Выход» and Shift+Tab back, and a screen reader is told each time. $1 names
# the pass, $2 where the keys go: x11 (the main window), weston (the nested Weston's window
# $weston_x11_window) or none (headless Weston has no seat, so nothing has the focus); the
# window is started with the environment after them.
screen_reader_pass() {
  pass=$1
  local keys=$2
  shift 2
  export HOME="$work/home-$pass"
  mkdir -p "$HOME" "$work/$pass"
  step="$pass: tree"
  local events="$work/$pass-focus-events"
  if [ "$keys" != none ]; then
    : >"$events"
    /usr/bin/python3 "$source_root/tests/e2e-gtk/atspi.py" orven focus-events 120 >"$events" 2>&1 &
    listener_pid=$!
    listening() { grep -qx listening "$events"; }
    wait_until 10 listening || fail "the focus listener did not start: $(cat "$events")"
  fi
  (cd "$work/$pass" && exec env "$@" "$orven") &
  orven_pid=$!
  wait_until 20 atspi walk >/dev/null 2>&1 || fail "AT-SPI shows no window of orven"
  local want lines=() item question
  mapfile -t lines < <(sed -n '/kIntroLines{/,/};/s/^ *"\(.*\)"_cp,$/\1/p' "$source_root"/texts/window.h)
  [ ${#lines[@]} -eq 10 ] || fail "ten introduction lines expected in texts/window.h"
  item=$(sed -n '/kModeItems{/,/};/s/^ *"\(.*\)"_cp,$/\1/p' "$source_root"/texts/window.h | head -n1)
  question=${lines[9]}
  paragraph() { local IFS='|'; echo "label: $*" | sed 's/|/\\n/g'; }
  want=$({
    echo "$caption"
    echo "label: ${lines[0]}"
    paragraph "${lines[@]:1:4}"
    paragraph "${lines[@]:5:4}"
    echo "label: $question"
    echo "button: Далее"
    echo "button: Выход"
    echo "combo: $(sed -n '/kModeItems{/,/};/s/^ *"\(.*\)"_cp,$/\1/p' "$source_root"/texts/window.h | paste -sd'|')"
  } | sort)
  # Where the window draws its own title bar (Wayland), the bar's title and close button
  # are the toolkit's, not the window's.
  shown_tree() { atspi walk | grep -vxF -e "label: $caption" -e "label: " -e "button: Close" | sort; }
  [ "$(shown_tree)" = "$want" ] || fail "AT-SPI shows: $(atspi walk | tr '\n' '|')"

  # The controls' focus states (which one holds the focus: $1) and the question's ties.
  focus_want() {
    local combo="focusable" leave="focusable"
    [ "$1" = list ] && combo="focusable; focused"
    [ "$1" = exit ] && leave="focusable; focused"
    printf '%s\n' "label $question: label for $item" "button Далее: focusable" \
      "button Выход: $leave" "combo $item: $combo; labelled by $question"
  }
  focus_is() { [ "$(atspi focus | grep -v '^button Close:')" = "$(focus_want "$1")" ]; }
  step="$pass: focus"
  case $keys in
    x11)
      find_main || fail "no main window"
      xdotool windowfocus --sync "$main"
      press() { xdotool key --clearmodifiers "$1"; }
      ;;
    weston)
      xdotool windowfocus --sync "$weston_x11_window"
      press() { xdotool key --clearmodifiers "$1"; }
      ;;
  esac
  if [ "$keys" = none ]; then
    focus_is none || fail "without a keyboard: $(atspi focus | tr '\n' '|')"
  else
    wait_until 10 focus_is list || fail "at the start: $(atspi focus | tr '\n' '|')"
    press Tab
    wait_until 10 focus_is exit || fail "after Tab: $(atspi focus | tr '\n' '|')"
    press shift+Tab
    wait_until 10 focus_is list || fail "after Shift+Tab: $(atspi focus | tr '\n' '|')"
    # Told: the list on opening, «Выход», the list again (GTK tells of the button inside the
    # list as well, as it does for every combo box).
    local told
    told_all() {
      told=$(grep -xF -e "combo box $item" -e "push button Выход" "$events" | uniq | paste -sd'|')
      [ "$told" = "combo box $item|push button Выход|combo box $item" ]
    }
    wait_until 10 told_all || fail "a screen reader was told of the focus: $(paste -sd'|' "$events")"
    kill "$listener_pid" 2>/dev/null
    wait "$listener_pid" 2>/dev/null
    listener_pid=""
  fi
  echo "pass $pass: tree, focus ($keys) and the question's ties ok"

  step="$pass: dialog"
  atspi press "Далее" || fail "AT-SPI could not press «Далее»"
  wait_until 20 atspi dialog >/dev/null || fail "no dialog after «Далее» through AT-SPI"
  atspi walk >/dev/null || fail "AT-SPI was slow or lost the window during the dialog"
  atspi press Cancel || fail "AT-SPI could not press Cancel in the dialog"
  step="$pass: message"
  wait_until 20 atspi message >/dev/null || fail "no message after the cancelled dialog"
  [ "$(atspi message)" = "Готово!" ] || fail "AT-SPI names the message '$(atspi message)'"
  atspi walk >/dev/null || fail "AT-SPI was slow or lost the window during the message"
  atspi press OK || fail "AT-SPI could not press OK"
  step="$pass: exit"
  gone() { ! atspi message >/dev/null; }
  wait_until 10 gone || fail "OK did not close the message"
  atspi walk >/dev/null || fail "AT-SPI was slow or lost the window after the message"
  atspi press "Выход" || fail "AT-SPI could not press «Выход»"
  ends_with_zero "«Выход» through AT-SPI"
  echo "pass $pass: ok"
}

# Files named on the command line ("Open with"): training runs on them at once, its outputs
# beside the first; then the window goes on as after «Далее».
command_line_pass() {
  pass=command-line
  export HOME="$work/home-$pass"
  mkdir -p "$HOME" "$work/$pass/src"
  cp "$work/inputs/guestbook.php" "$work/$pass/src/"
  : >"$work/open.log"
  step="$pass: run"
  start_orven "$work" "$work/$pass/src/guestbook.php"
  wait_until 20 find_message || fail "no message box after a file on the command line"
  [ "$(message_caption)" = "Готово!" ] || fail "message caption '$(message_caption)'"
  dismiss_message
  cmp -s "$work/$pass/src/result.html" "$work/cli-training/result.html" ||
    fail "result.html differs from orven-cli training's"
  wait_until 10 opened "$work/$pass/src/result.html" ||
    fail "no open request for result.html: $(cat "$work/open.log")"
  xdotool mousemove --window "$main" 577 534 click 1
  ends_with_zero "«Выход»"

  # Escape while the run waits in its message ends the program once the run has finished
  # its last step: the readme is there.
  step="$pass: Escape during the message"
  rm -f "$work/$pass/src/readme.txt"
  start_orven "$work" -- "$work/$pass/src/guestbook.php"
  wait_until 20 find_message || fail "no message box after a file on the command line"
  xdotool windowfocus --sync "$main" key --clearmodifiers Escape
  ends_with_zero "Escape during the message"
  [ -f "$work/$pass/src/readme.txt" ] || fail "the run was cut short: no readme.txt"
  echo "pass $pass: ok"
}

# Drags text/uri-list from a drag source window onto orven (XDND) and waits for the message.
drag_onto_main() {
  /usr/bin/python3 "$source_root/tests/e2e-gtk/drag_source.py" 1200 700 "$@" &
  local source_pid=$!
  source_shown() { xdotool search --onlyvisible --name '^drag source$' >/dev/null; }
  wait_until 10 source_shown || fail "the drag source did not appear"
  sleep 0.3
  xdotool mousemove 1270 750 mousedown 1
  local at
  for at in "1260 740" "1200 700" "1000 600" "800 500" "600 400" "500 300"; do
    xdotool mousemove $at
    sleep 0.1
  done
  xdotool mouseup 1
  wait_until 20 find_message || fail "no message box after the drop"
  kill "$source_pid" 2>/dev/null
  wait "$source_pid" 2>/dev/null
}

# Files and folders dropped on the window: training takes them all, as orven-cli training
# does; expert takes one file, and more is refused with a message.
drop_pass() {
  pass=drop
  export HOME="$work/home-$pass"
  mkdir -p "$HOME" "$work/$pass/first/src" "$work/$pass/cli"
  cp "$work/inputs/guestbook.php" "$work/$pass/first/"
  cp "$source_root"/samples/* "$work/$pass/first/src/" 2>/dev/null
  (cd "$work/$pass/cli" && "$cli" training "$work/$pass/first/guestbook.php" "$work/$pass/first/src" >/dev/null) ||
    fail "orven-cli training failed on the dropped paths"
  step="$pass: training"
  start_orven "$work"
  drag_onto_main "$work/$pass/first/guestbook.php" "$work/$pass/first/src"
  [ "$(message_caption)" = "Готово!" ] || fail "message caption '$(message_caption)'"
  dismiss_message
  cmp -s "$work/$pass/first/result.html" "$work/$pass/cli/result.html" ||
    fail "result.html differs from orven-cli training's on the same paths"
  step="$pass: expert, two files"
  xdotool mousemove --window "$main" 500 391 click 1
  sleep 0.5
  xdotool key --clearmodifiers Down Return
  sleep 0.5
  drag_onto_main "$work/inputs/script.txt" "$work/inputs/guestbook.php"
  [ "$(message_caption)" = "Ошибка" ] || fail "message caption '$(message_caption)'"
  dismiss_message
  [ ! -e "$work/inputs/orven_log.txt" ] || fail "expert ran on two dropped files"
  xdotool mousemove --window "$main" 577 534 click 1
  ends_with_zero "«Выход»"
  echo "pass $pass: ok"
}

# GDK_SCALE=2: the window twice as large in pixels, the same layout.
scale_pass() {
  pass=scale-2
  export HOME="$work/home-$pass"
  mkdir -p "$HOME" "$work/$pass"
  step="$pass: start"
  (cd "$work/$pass" && GDK_SCALE=2 exec "$orven") &
  orven_pid=$!
  wait_until 15 find_main || fail "the main window did not appear"
  [ "$(size_of "$main")" = "1588x1142" ] || fail "window $(size_of "$main"), expected 1588x1142"
  local shot="$work/$pass-window.png" expect spot got
  painted() {
    import -window "$main" "$shot" 2>/dev/null &&
      [ "$(convert "$shot" -crop 1x1+10+600 +repage -depth 8 -format '%[hex:p{0,0}]' info:)" = 2C3AC1 ]
  }
  wait_until 10 painted || fail "the panel was not painted"
  for expect in 0+0=2C3AC1 10+600=2C3AC1 477+1141=2C3AC1 478+0=000000 479+600=000000 \
    480+600=FFFFFF 1587+1141=FFFFFF; do
    spot=${expect%=*}
    got=$(convert "$shot" -crop "1x1+${spot%+*}+${spot#*+}" +repage -depth 8 \
      -format '%[hex:p{0,0}]' info:)
    [ "$got" = "${expect#*=}" ] || fail "pixel ($spot) is $got, expected ${expect#*=}"
  done
  cp "$shot" "$artifacts/$pass-window.png"
  step="$pass: dialog"
  xdotool mousemove --window "$main" 1354 1068 click 1
  wait_until 20 find_chooser || fail "«Далее» at scale 2 opened no dialog"
  dialog_fitted() { [ "$(size_of "$chooser")" = "1400x1000" ]; }
  wait_until 10 dialog_fitted || fail "dialog $(size_of "$chooser"), expected 1400x1000"
  xdotool windowfocus --sync "$chooser" key --clearmodifiers Escape
  wait_until 20 find_message || fail "no message box"
  dismiss_message
  xdotool mousemove --window "$main" 1154 1068 click 1
  ends_with_zero "«Выход»"
  echo "pass $pass: ok"
}


session mouse "$work/home-mouse" none
keyboard_pass
screen_reader_pass screen-reader-x11 x11 GDK_BACKEND=x11
command_line_pass
drop_pass
scale_pass

# One openbox for the rest: it leaves its properties on the root window when it ends.
step="openbox"
openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
wait_until 10 wm_running || fail "openbox did not start: $(cat "$work/openbox.log")"
session mouse-openbox "$work/home-mouse" openbox

# Headless Wayland: no backend is forced, so the window comes up there as well.
step="weston"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
weston --backend=headless-backend.so --socket=orven-e2e --idle-time=0 >"$work/weston.log" 2>&1 &
weston_pid=$!
weston_up() { [ -S "$XDG_RUNTIME_DIR/orven-e2e" ]; }
wait_until 15 weston_up || fail "weston did not start: $(cat "$work/weston.log")"
screen_reader_pass screen-reader-wayland none -u DISPLAY WAYLAND_DISPLAY=orven-e2e \
  GDK_BACKEND=wayland
# Keys on Wayland: a Weston in a window of the X server, whose seat takes its keyboard.
step="weston on X11"
weston --backend=x11-backend.so --use-pixman --socket=orven-e2e-x11 --idle-time=0 \
  --width=1000 --height=700 >"$work/weston-x11.log" 2>&1 &
weston_x11_pid=$!
weston_x11_window=""
weston_x11_up() {
  [ -S "$XDG_RUNTIME_DIR/orven-e2e-x11" ] &&
    weston_x11_window=$(xdotool search --onlyvisible --classname '^weston' | head -n1) &&
    [ -n "$weston_x11_window" ]
}
wait_until 15 weston_x11_up || fail "weston on X11 did not start: $(cat "$work/weston-x11.log")"
screen_reader_pass screen-reader-wayland-keys weston -u DISPLAY WAYLAND_DISPLAY=orven-e2e-x11 \
  GDK_BACKEND=wayland

echo "e2e: all passes ok"
