#!/usr/bin/env bash
# The icon, the version resource and the application manifest of a Windows program: Explorer
# shows the first two and the loader reads the third, so a build that lost the .rc would
# still link and run. The version strings are UTF-16 in the file; the manifest is UTF-8 XML.
#
# usage: check_resources.sh PROGRAM.exe VERSION
set -uo pipefail
program=$1
version=$2
command -v wrestool >/dev/null || { echo "FAIL: wrestool (icoutils) is not installed"; exit 1; }
list=$(wrestool -l "$program") || { echo "FAIL: wrestool cannot read $program"; exit 1; }
for kind in group_icon version; do
  grep -q "type=$kind " <<<"$list" || { echo "FAIL: $program has no $kind resource"; exit 1; }
done
# The manifest: id 1 (the one the loader reads for a program), language neutral, XML that
# parses, with each of the settings the program relies on.
grep -q -- "--type=24 --name=1 --language=0 " <<<"$list" ||
  { echo "FAIL: $program has no language-neutral manifest resource 1 (type 24)"; exit 1; }
manifest=$(wrestool -x --raw --type=24 --name=1 "$program")
python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parseString(sys.stdin.buffer.read())' \
  <<<"$manifest" || { echo "FAIL: the manifest of $program is not well-formed XML"; exit 1; }
for setting in 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' \
  '>true</dpiAware>' '>PerMonitorV2, System</dpiAwareness>' '>true</longPathAware>' \
  'level="asInvoker"' '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}' '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}'; do
  grep -q -F -- "$setting" <<<"$(tr -s ' \n' ' ' <<<"$manifest")" ||
    { echo "FAIL: the manifest of $program lacks $setting"; exit 1; }
done
strings=$(wrestool -x --raw -t16 "$program" | iconv -f UTF-16LE -t UTF-8 | tr '\0' '\n' |
  grep -v '^$')
# Each key follows the record's length words, which decode as stray characters before it.
value_of() { grep -A1 -E "$1\$" <<<"$strings" | sed -n 2p; }
name=$(basename "$program")
fail=0
for pair in "ProductVersion=$version" "FileVersion=$version" "OriginalFilename=$name" \
  "InternalName=${name%.exe}"; do
  got=$(value_of "${pair%%=*}")
  [ "$got" = "${pair#*=}" ] || { echo "FAIL: ${pair%%=*} is '$got', expected '${pair#*=}'"; fail=1; }
done
[ -n "$(value_of ProductName)" ] || { echo "FAIL: no ProductName"; fail=1; }
[ $fail -eq 0 ] && echo "$name: icon, version $version and manifest"
exit $fail
