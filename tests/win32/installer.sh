#!/usr/bin/env bash
# The Windows installer under Wine, as a user runs it: in a fresh Wine prefix, a silent
# install (/S) for all users (Wine's user is an administrator) and one for the current user
# alone (/S /CurrentUser); after each, the files, the Start-menu shortcut, the Apps & Features
# entry and the "Open with" registration are there (the types' default programs untouched),
# the installed orven-cli.exe writes what the Linux orven-cli writes for the same source, and
# a silent uninstall leaves none of it behind.
#
# usage: installer.sh INSTALLER.exe BITS LINUX_ORVEN_CLI SOURCE_ROOT WORK_DIR
# BITS is 64 or 32, the programs the installer holds and its own kind: the win64 installer
# runs under wine64 alone, the win32 one needs Debian's wine32. WORK_DIR receives the Wine
# prefix.
set -uo pipefail

if [ $# -ne 5 ]; then
  echo "usage: $0 INSTALLER.exe BITS LINUX_ORVEN_CLI SOURCE_ROOT WORK_DIR" >&2
  exit 2
fi
started=$SECONDS
here=$(cd "$(dirname "$0")" && pwd)
installer=$(realpath "$1")
bits=$2
linux_cli=$(realpath "$3")
source_root=$(realpath "$4")
mkdir -p "$5"
export WINEPREFIX="$(realpath "$5")/wineprefix-installer-win$bits"
export WINEDEBUG=-all LANG=C.UTF-8 LC_ALL=C.UTF-8
wine_run="$here/wine-run.sh"
server=/usr/lib/wine/wineserver64
[ -x "$server" ] || server=wineserver

work=$(mktemp -d)
cleanup() {
  WINEPREFIX="$WINEPREFIX" "$server" -k 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
step="prefix"
fail() {
  echo "FAIL (win$bits, $step): $*"
  exit 1
}
poll_interval=0.2
# shellcheck source=../support/wait_until.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/wait_until.sh"

# A fresh prefix for every run: nothing of an earlier install can make this one pass.
"$server" -k 2>/dev/null
rm -rf "$WINEPREFIX"
"$wine_run" cmd /c exit >/dev/null 2>&1 || fail "the Wine prefix could not be made"

# A Windows folder (given in ASCII through its variable) as a Linux path.
unix_folder() {
  local windows
  windows=$("$wine_run" cmd /c echo "$1" 2>/dev/null | tr -d '\r')
  "$wine_run" winepath -u "$windows" 2>/dev/null | tr -d '\r'
}
# A registry key as the text of its .reg export (UTF-8), or nothing when it does not exist;
# in the 64-bit view unless another is given. The 32-bit installer's Apps & Features entry
# for all users is in the 32-bit view; the classes are one for both, as on Windows.
uninstall_view=/reg:64
[ "$bits" = 32 ] && uninstall_view=/reg:32
registry_key() {
  rm -f "$work/key.reg"
  "$wine_run" reg export "$1" 'Z:'"$(printf '%s' "$work/key.reg" | tr '/' '\\')" /y "${2:-/reg:64}" \
    >/dev/null 2>&1 || return 0
  iconv -f UTF-16LE -t UTF-8 "$work/key.reg" | tr -d '\r'
}
# The value NAME of a key's export, as written there ("..." for a string), and a string as
# an export writes it.
# The default value is @.
value_in() {
  local name="\"$1\""
  [ "$1" = @ ] && name=@
  awk -v name="$name=" 'index($0, name) == 1 { print substr($0, length(name) + 1); exit }' <<<"$2"
}
# The Windows programs running in this prefix, one per line, as their command lines (read
# from /proc: a bare machine may have no pgrep).
windows_programs() {
  local proc program line
  for proc in /proc/[0-9]*; do
    program=""
    IFS= read -r -d '' program <"$proc/cmdline" 2>/dev/null
    [[ "$program" =~ ^[A-Z]:\\ ]] || continue
    tr '\0' '\n' <"$proc/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    line=$(tr '\0' ' ' <"$proc/cmdline" 2>/dev/null)
    printf '%s\n' "${line%"${line##*[! ]}"}"
  done
}
negate() { ! "$@"; }
reg_string() {
  local text=${1//\\/\\\\}
  printf '"%s"' "${text//\"/\\\"}"
}

cp "$source_root/samples/guestbook.php" "$work/guestbook.php"
mkdir -p "$work/expect"
(cd "$work/expect" && "$linux_cli" training ../guestbook.php >/dev/null) ||
  fail "the Linux orven-cli failed"
version=$(sed -n 's/.*kVersion = "\([0-9.]*\)"_cp;.*/\1/p' "$source_root/texts/product.h")
extensions=".php .inc .phtml .html .htm .xhtml .js .mjs .c .cc .cpp .cxx .h .hh .hpp .hxx .inl .txt"

# The default program of each type (the prefix's own, and one of the user's for .php), which
# neither the install nor the uninstall may change.
"$wine_run" reg add 'HKCU\Software\Classes\.php' /ve /d "editor.php" /f >/dev/null 2>&1
# The file classes of the machine and of the user, read once per check (Wine's HKCR shows
# the machine's alone), and the text of one key in them.
read_classes() {
  registry_key 'HKLM\Software\Classes' >"$work/classes-HKLM"
  registry_key 'HKCU\Software\Classes' >"$work/classes-HKCU"
}
class_key() {  # class_key HKLM|HKCU SUBKEY
  local long=HKEY_LOCAL_MACHINE
  [ "$1" = HKCU ] && long=HKEY_CURRENT_USER
  awk -v header="[$long\\Software\\Classes\\$2]" \
    'tolower($0) == tolower(header) { on = 1; print; next } /^\[/ { on = 0 } on && NF' \
    "$work/classes-$1"
}
default_programs() {
  for extension in $extensions; do
    echo "$extension $(value_in @ "$(class_key HKLM "$extension")")" \
      "$(value_in @ "$(class_key HKCU "$extension")")"
  done
}
read_classes
defaults=$(default_programs)
grep -qx '.php  "editor.php"' <<<"$defaults" || fail "the user's .php default was not set: $defaults"

for scope in all user; do
  if [ $scope = all ]; then
    options="/S"
    root=HKLM
    if [ "$bits" = 64 ]; then folder=$(unix_folder '%ProgramW6432%'); else
      folder=$(unix_folder '%ProgramFiles(x86)%')
      [ -d "$folder" ] || folder=$(unix_folder '%ProgramFiles%')
    fi
    start_menu=$(unix_folder '%ProgramData%')/Microsoft/Windows/Start\ Menu/Programs
  else
    options="/S /CurrentUser"
    root=HKCU
    folder=$(unix_folder '%LOCALAPPDATA%')/Programs
    start_menu=$(unix_folder '%APPDATA%')/Microsoft/Windows/Start\ Menu/Programs
  fi
  folder="$folder/ОРВЕН"
  uninstall_key="$root\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ORVEN"

  step="install for $scope"
  # shellcheck disable=SC2086
  "$wine_run" "$installer" $options >/dev/null 2>&1 || fail "the installer failed"
  for file in orven.exe orven-cli.exe START.txt uninstall.exe; do
    [ -f "$folder/$file" ] || fail "$folder/$file is missing"
  done
  [ -f "$start_menu/ОРВЕН.lnk" ] || fail "no shortcut $start_menu/ОРВЕН.lnk"
  entry=$(registry_key "$uninstall_key" $uninstall_view)
  [ -n "$entry" ] || fail "no $uninstall_key"
  # The folder as Windows names it, from its .reg string (backslashes doubled there).
  windows_folder=$(value_in InstallLocation "$entry")
  windows_folder=${windows_folder:1:-1}
  windows_folder=${windows_folder//\\\\/\\}
  unix_location="$WINEPREFIX/drive_c/${windows_folder#C:\\}"
  [ "$(realpath "${unix_location//\\//}" 2>/dev/null)" = "$(realpath "$folder")" ] ||
    fail "InstallLocation $windows_folder is not $folder"
  for pair in "DisplayName=ОРВЕН" "DisplayVersion=$version" "Publisher=Морваш" \
    "DisplayIcon=$windows_folder\\orven.exe,0" \
    "UninstallString=\"$windows_folder\\uninstall.exe\"" \
    "QuietUninstallString=\"$windows_folder\\uninstall.exe\" /S"; do
    got=$(value_in "${pair%%=*}" "$entry")
    [ "$got" = "$(reg_string "${pair#*=}")" ] || fail "${pair%%=*} is $got, expected ${pair#*=}"
  done
  size=$(value_in EstimatedSize "$entry")
  [[ "$size" =~ ^dword:0*[1-9a-f][0-9a-f]*$ ]] || fail "EstimatedSize is $size"
  # "Open with": each type names our ProgID, which opens orven.exe; no default changed.
  # The installer has ended, so the classes are whole; should they read otherwise (seen once
  # in CI, in none of a dozen runs on a workstation), what was seen is told and they are read
  # again for some seconds.
  open_with_missing() {
    read_classes
    for extension in $extensions; do
      grep -q '^"ORVEN.Source"=' <<<"$(class_key $root "$extension\\OpenWithProgids")" ||
        { missing=$extension; return 0; }
    done
    return 1
  }
  if open_with_missing; then
    echo "note (win$bits, $step): $missing has no ORVEN.Source in OpenWithProgids at first;" \
      "the $root classes export has $(wc -l <"$work/classes-$root") lines, $missing there:" \
      "$(class_key $root "$missing" | tr '\n' ' ')$(class_key $root "$missing\\OpenWithProgids" |
        tr '\n' ' '); Windows programs running: $(windows_programs | paste -sd ';')"
    waited=$SECONDS
    poll_interval=1 wait_until 15 negate open_with_missing ||
      fail "$missing has no ORVEN.Source in OpenWithProgids"
    echo "note (win$bits, $step): read again, every type has it after $((SECONDS - waited)) s"
  fi
  [ "$(default_programs)" = "$defaults" ] ||
    fail "the install changed default programs: $(diff <(echo "$defaults") <(default_programs))"
  command=$(class_key $root 'ORVEN.Source\shell\open\command')
  grep -qF "@=$(reg_string "\"$windows_folder\\orven.exe\" \"%1\"")" <<<"$command" ||
    fail "ORVEN.Source opens with: $command"
  grep -qF '".php"=' <<<"$(class_key $root 'Applications\orven.exe\SupportedTypes')" ||
    fail "no Applications\\orven.exe for .php"

  step="installed orven-cli.exe ($scope)"
  mkdir -p "$work/run-$scope"
  (cd "$work/run-$scope" && "$wine_run" "$folder/orven-cli.exe" training \
    "$(printf 'Z:%s' "$work/guestbook.php" | tr '/' '\\')" >/dev/null 2>&1) ||
    fail "the installed orven-cli.exe failed"
  cmp "$work/run-$scope/result.html" "$work/expect/result.html" ||
    fail "the installed orven-cli.exe wrote another result.html than the Linux orven-cli"

  step="uninstall for $scope"
  "$wine_run" "$folder/uninstall.exe" /S >/dev/null 2>&1 || fail "the uninstaller failed"
  # The uninstaller goes on from a copy of itself in the temporary folder; the Apps &
  # Features entry is the last thing it removes.
  # The copy runs as ~nsu*.tmp\Un*.exe; a key that cannot be read is no proof it is gone,
  # so the copy's end is waited for as well.
  gone() {
    [ ! -e "$folder" ] && [ -z "$(registry_key "$uninstall_key" $uninstall_view)" ] &&
      ! grep -q '~nsu' <<<"$(windows_programs)"
  }
  wait_until 60 gone ||
    fail "$folder or $uninstall_key is still there, or the uninstaller runs on:" \
      "$(windows_programs | paste -sd ';')"
  [ ! -e "$start_menu/ОРВЕН.lnk" ] || fail "the shortcut is still there"
  read_classes
  ! grep -qi 'orven' "$work/classes-$root" ||
    fail "the classes still name ОРВЕН: $(grep -i orven "$work/classes-$root")"
  [ "$(default_programs)" = "$defaults" ] || fail "the uninstall changed default programs"
  echo "installer win$bits for $scope: installed into $folder, ran, uninstalled"
done
echo "installer win$bits: passed in $((SECONDS - started)) s"
