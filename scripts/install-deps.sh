#!/usr/bin/env bash
# Installs the Debian packages of a set that are not installed yet, through sudo when not
# run as root:
#
#   install-deps.sh build   scripts/packages/build.txt: building and running the programs
#   install-deps.sh test    build.txt and scripts/packages/test.txt: the tests, the fuzz
#                           targets and the packages as well (also when no set is named)
#
# When everything is installed, apt is not called at all. Otherwise `apt-get update` is
# tried three times; when some package lists still failed, set-up goes on with the lists
# there are (saying so in one line), as long as `apt-get install -s` shows that the wanted
# packages can be installed. When none could be fetched, set-up fails. A package that
# cannot be installed (`apt-get install -s` of it alone fails) fails set-up (exit 1, with
# what apt said) unless the set marks it optional: then its verdict, the package and apt's
# words, is recorded for the test stages, which report the tests that need it skipped for
# that reason (scripts/verdicts.sh). The verdicts of the test set are rewritten by every
# run that reads it: build/setup/refused.tsv, or ORVEN_SETUP_VERDICTS.
#
# environment: ORVEN_APT_RETRY_WAIT  seconds between the tries of `apt-get update` (10)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
verdicts=${ORVEN_SETUP_VERDICTS:-$root/build/setup/refused.tsv}
retry_wait=${ORVEN_APT_RETRY_WAIT:-10}

case ${1:-test} in
  build) sets=(build) ;;
  test) sets=(build test) ;;
  *)
    echo "usage: $0 [build|test]" >&2
    exit 2
    ;;
esac

say() { echo "set-up: $*"; }
# apt's messages in English whatever the user's language, since they are read here.
export LC_ALL=C DEBIAN_FRONTEND=noninteractive
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo env LC_ALL=C DEBIAN_FRONTEND=noninteractive)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The set's packages and their marks: a line is a package and its marks; "#" starts a
# comment.
packages=()
declare -A optional=()
for set in "${sets[@]}"; do
  while read -r package marks; do
    wanted=1
    for mark in $marks; do
      case $mark in
        optional) optional[$package]=1 ;;
        unless=*) command -v "${mark#unless=}" >/dev/null && wanted=0 ;;
        *)
          say "scripts/packages/$set.txt: $package has an unknown mark '$mark'"
          exit 1
          ;;
      esac
    done
    [ $wanted -eq 0 ] || packages+=("$package")
  done < <(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$here/packages/$set.txt")
done

# Those not installed. One dpkg-query for all: a package without an architecture is the
# machine's own (or one for all architectures).
native=$(dpkg --print-architecture)
declare -A installed=()
while read -r name arch status; do
  [ "${status:0:2}" = ii ] || continue
  [ "$arch" = all ] && arch=$native
  installed[$name:$arch]=1
done < <(dpkg-query -W -f='${Package} ${Architecture} ${db:Status-Abbrev}\n' -- "${packages[@]}" 2>/dev/null)
missing=()
for package in "${packages[@]}"; do
  qualified=$package
  [[ $package == *:* ]] || qualified=$package:$native
  [ -n "${installed[$qualified]:-}" ] || missing+=("$package")
done

refused=()      # the optional packages apt cannot install, with apt's words
write_verdicts() {
  [ ${#optional[@]} -gt 0 ] || return 0
  mkdir -p "$(dirname "$verdicts")"
  {
    echo "# Written by scripts/install-deps.sh: the optional packages apt could not install"
    echo "# and what it said, one a line (package, a tab, apt's words)."
    for line in "${refused[@]}"; do echo "$line"; done
  } >"$verdicts.tmp" && mv "$verdicts.tmp" "$verdicts"
}
if [ ${#missing[@]} -eq 0 ]; then
  write_verdicts
  exit 0
fi
say "missing: ${missing[*]}"

# A package of another architecture (wine32:i386) needs that architecture known to dpkg
# before the package lists are fetched.
for arch in $(printf '%s\n' "${missing[@]}" | sed -n 's/^[^:]*:\([a-z0-9]*\)$/\1/p' | sort -u); do
  [ "$arch" = "$native" ] && continue
  dpkg --print-foreign-architectures | grep -qx "$arch" ||
    "${sudo[@]}" dpkg --add-architecture "$arch" || exit 1
done

# apt-get update, three tries. A list that fails is "Err:N" in the output (the exit status
# is 100 for a list that arrived broken, but 0 for a source that cannot be reached), "Hit:N"
# or "Get:N" without an "Err:N" a list that is up to date. The failures of the last try
# decide.
for try in 1 2 3; do
  "${sudo[@]}" apt-get -q update >"$work/update" 2>&1
  status=$?
  grep -q '^Err:' "$work/update" || [ $status -ne 0 ] || break
  [ $try -eq 3 ] || sleep "$retry_wait"
done
failed=$(sed -n 's/^Err:\([0-9]*\) .*/\1/p' "$work/update" | sort -u | wc -l)
fetched=$(sed -n 's/^\(Hit\|Get\|Err\):\([0-9]*\) .*/\2/p' "$work/update" | sort -u | wc -l)
if [ "$failed" -gt 0 ] || [ $status -ne 0 ]; then
  # The first failure as apt tells it: "Failed to fetch URL  reason".
  reason=$(sed -n 's/^[EW]: Failed to fetch //p' "$work/update" | head -1 | tr -s ' ')
  [ -n "$reason" ] || reason=$(grep '^[EW]: ' "$work/update" | head -1)
  if [ "$failed" -ge "$fetched" ]; then
    say "apt-get update could fetch no index file in 3 tries (no network?): $reason"
    say "cannot install: ${missing[*]}"
    exit 1
  fi
  say "apt-get update failed for $failed of $fetched index files in 3 tries; going on with the lists there are: $reason"
fi

# What apt says of a set it cannot install, in one line: the first unmet dependencies (or
# the package it does not know) and its error.
apt_words() {
  awk '
    /^The following packages have unmet dependencies:/ { unmet = 1; next }
    unmet && /^ / { gsub(/  +/, " "); sub(/^ /, ""); if (shown < 2) { line = line sep $0; sep = "; "; shown++ } else more++; next }
    /^E: / { errors = errors (errors == "" ? "" : " ") $0 }
    END {
      if (more) line = line " (and " more " more)"
      print line (line != "" && errors != "" ? "; " : "") errors
    }' "$1"
}

if ! apt-get install -s -q --no-install-recommends "${missing[@]}" >"$work/all" 2>&1; then
  installable=()
  required_refused=0
  for package in "${missing[@]}"; do
    if apt-get install -s -q --no-install-recommends "$package" >"$work/one" 2>&1; then
      installable+=("$package")
    elif [ -n "${optional[$package]:-}" ]; then
      refused+=("$package"$'\t'"$(apt_words "$work/one")")
      say "optional $package cannot be installed: $(apt_words "$work/one")"
      say "the tests that need $package will be reported skipped"
    else
      say "$package cannot be installed: $(apt_words "$work/one")"
      required_refused=1
    fi
  done
  write_verdicts
  [ $required_refused -eq 0 ] || exit 1
  missing=("${installable[@]}")
  if [ ${#missing[@]} -eq 0 ]; then exit 0; fi
  # Each can be installed alone; together they still might not.
  if ! apt-get install -s -q --no-install-recommends "${missing[@]}" >"$work/all" 2>&1; then
    say "${missing[*]} cannot be installed together: $(apt_words "$work/all")"
    exit 1
  fi
fi
write_verdicts
say "installing: ${missing[*]}"
options=(-y -q --no-install-recommends)
# A CI machine that crashes is set up anew: dpkg need not sync each file it unpacks there.
[ -z "${CI:-}" ] || options+=(-o Dpkg::Options::=--force-unsafe-io)
"${sudo[@]}" apt-get install "${options[@]}" "${missing[@]}" || {
  say "apt-get install failed for: ${missing[*]}"
  exit 1
}
