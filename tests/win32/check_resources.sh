#!/usr/bin/env bash
# The icon and the version resource of a Windows program: Explorer shows both, so a build
# that lost the .rc would still link and run. The version strings are UTF-16 in the file.
#
# usage: check_resources.sh PROGRAM.exe VERSION
set -uo pipefail
program=$1
version=$2
command -v wrestool >/dev/null || { echo "SKIP: wrestool (icoutils) is not installed"; exit 77; }
list=$(wrestool -l "$program") || { echo "FAIL: wrestool cannot read $program"; exit 1; }
for kind in group_icon version; do
  grep -q "type=$kind " <<<"$list" || { echo "FAIL: $program has no $kind resource"; exit 1; }
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
[ $fail -eq 0 ] && echo "$name: icon and version $version"
exit $fail
