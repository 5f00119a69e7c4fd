#!/usr/bin/env bash
# The choices of scripts/install-deps.sh on the real package sets, with stand-ins for
# apt-get, dpkg, dpkg-query and sudo (which would reset PATH) first on a PATH that holds
# nothing else but the few tools the scripts use: a mirror whose update fails for one index,
# an optional package apt refuses (set-up goes on, records the verdict, and the summary of
# scripts/test.sh reports the skip), a required one refused (exit 1 naming it), everything
# installed (apt never called), no network at all, and set-up by a user through sudo.
#
# usage: install_deps_test.sh SOURCE_ROOT
set -uo pipefail
source_root=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check WHAT COMMAND...
  if "${@:2}"; then echo "ok: $1"; else
    echo "FAIL: $1"
    failures=$((failures + 1))
  fi
}
has() { grep -qF -- "$1" "$2"; }
lacks() { ! grep -q -- "$1" "$2"; }

# The tools the scripts may use, and the stand-ins; no npm unless a case adds one.
tools="$work/tools"
mkdir -p "$tools"
for tool in bash sh env sed awk grep sort wc mktemp rm mkdir mv cat dirname basename head tr \
  sleep date; do
  ln -s "$(command -v "$tool")" "$tools/$tool"
done
state="$work/state"
cat >"$tools/apt-get" <<'EOF'
#!/bin/bash
# apt-get: update as STANDIN_UPDATE says (ok, one-index, no-network, or flaky: one-index
# on the first try only); install -s and install refuse what STANDIN_REFUSE names.
echo "apt-get $*" >>"$STANDIN/log"
[ "$(id -u)" = 0 ] || [ "$1 $2" = "install -s" ] || { echo "E: not root" >&2; exit 100; }
if [ "$2" = update ]; then
  mode=$STANDIN_UPDATE
  if [ "$mode" = flaky ]; then
    mode=ok
    [ -e "$STANDIN/updated" ] || mode=one-index
    : >"$STANDIN/updated"
  fi
  if [ "$mode" = no-network ]; then
    for n in 1 2 3; do
      echo "Err:$n http://deb.debian.org/debian bookworm InRelease"
      echo "  Temporary failure resolving 'deb.debian.org'"
    done
    echo "W: Failed to fetch http://deb.debian.org/debian/dists/bookworm/InRelease  Temporary failure resolving 'deb.debian.org'"
    echo "W: Some index files failed to download. They have been ignored, or old ones used instead."
    exit 0
  fi
  echo "Hit:1 http://deb.debian.org/debian bookworm InRelease"
  echo "Hit:2 http://deb.debian.org/debian bookworm-updates InRelease"
  echo "Get:3 http://deb.debian.org/debian-security bookworm-security InRelease [48.0 kB]"
  [ "$mode" = ok ] && exit 0
  echo "Get:4 http://deb.debian.org/debian-security bookworm-security/main i386 Packages [376 kB]"
  echo "Err:4 http://deb.debian.org/debian-security bookworm-security/main i386 Packages"
  echo "  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]"
  echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]"
  echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
  exit 100
fi
simulate=0
[ "$2" = -s ] && simulate=1
shift 2
packages=()
while [ $# -gt 0 ]; do
  case $1 in -o) shift ;; -*) ;; *) packages+=("$1") ;; esac
  shift
done
for p in "${packages[@]}"; do
  for refused in $STANDIN_REFUSE; do
    [ "$p" = "$refused" ] || continue
    echo "The following packages have unmet dependencies:"
    echo " libcurl4:i386 : Depends: libzstd1:i386 (>= 1.5.2) but it is not installable"
    echo " libglib2.0-0:i386 : Depends: libpcre2-8-0:i386 (>= 10.22) but it is not installable"
    echo "                     Depends: zlib1g:i386 (>= 1:1.2.2) but it is not going to be installed"
    echo "E: Unable to correct problems, you have held broken packages."
    exit 100
  done
done
for p in "${packages[@]}"; do
  echo "Inst $p"
  [ $simulate = 1 ] || echo "$p" >>"$STANDIN/installed"
done
EOF
cat >"$tools/dpkg-query" <<'EOF'
#!/bin/bash
# dpkg-query -W -f='${Package} ${Architecture} ${db:Status-Abbrev}\n' -- PACKAGE...
echo "dpkg-query $*" >>"$STANDIN/log"
status=0
for package in "${@:4}"; do
  if grep -qxF -- "$package" "$STANDIN/installed"; then
    arch=amd64
    [[ $package == *:* ]] && arch=${package#*:}
    [[ $package == fonts-* ]] && arch=all
    echo "${package%%:*} $arch ii "
  else
    echo "dpkg-query: no packages found matching $package" >&2
    status=1
  fi
done
exit $status
EOF
cat >"$tools/dpkg" <<'EOF'
#!/bin/bash
echo "dpkg $*" >>"$STANDIN/log"
case $1 in
  --print-architecture) echo amd64 ;;
  --print-foreign-architectures) cat "$STANDIN/architectures" ;;
  --add-architecture) [ "$(id -u)" = 0 ] && echo "$2" >>"$STANDIN/architectures" ;;
esac
EOF
# sudo runs the command as root (the stand-in id says so) and, as the real one does, on a
# PATH of its own: here the stand-ins'.
cat >"$tools/sudo" <<'EOF'
#!/bin/bash
echo "sudo $*" >>"$STANDIN/log"
STANDIN_UID=0 "$@"
EOF
cat >"$tools/id" <<'EOF'
#!/bin/bash
[ "$1" = -u ] && echo "${STANDIN_UID:-0}"
EOF
chmod +x "$tools"/*

# Every package of both sets, as the scripts read them.
all_packages() {
  sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$source_root"/scripts/packages/{build,test}.txt |
    awk '{ print $1 }'
}
# setup NAME MISSING...: a fresh machine state with every package installed but MISSING.
setup() {
  echo "--- $1"
  shift
  rm -rf "$state"
  mkdir -p "$state"
  all_packages | grep -vxF -f <(printf '%s\n' "$@" "") >"$state/installed"
  : >"$state/architectures"
  : >"$state/log"
  export STANDIN="$state" STANDIN_UPDATE=ok STANDIN_REFUSE="" STANDIN_UID=0
  rm -f "$tools/npm"
}
# set_up [SET]: install-deps.sh on the stand-ins, its output in $state/out.
set_up() {
  env PATH="$tools" ORVEN_APT_RETRY_WAIT=0 ORVEN_SETUP_VERDICTS="$state/refused.tsv" \
    bash "$source_root/scripts/install-deps.sh" "$@" >"$state/out" 2>&1
}
calls() { grep -c "^apt-get $1" "$state/log"; }
installed() {  # installed PACKAGE...: all of them are
  for package; do grep -qxF -- "$package" "$state/installed" || return 1; done
}
verdict_of() { awk -F'\t' -v p="$1" '$1 == p { print $2 }' "$state/refused.tsv"; }

# The sets themselves: wine32 is the one optional package, and only the test set's; what the
# programs build with is in the build set.
check "test.txt marks wine32:i386 optional" \
  grep -qE '^wine32:i386[[:space:]]+optional([[:space:]]|$)' "$source_root/scripts/packages/test.txt"
check "no other package is optional" \
  test "$(cat "$source_root"/scripts/packages/{build,test}.txt | grep -cE '^[^#]*[[:space:]]optional')" = 1
check "the build set has the compiler and GTK, not the tests' tools" \
  bash -c 'grep -qx g++ "$1" && grep -qx libgtk-3-dev "$1" && ! grep -qE "^(wine|googletest|xvfb)" "$1"' \
  _ "$source_root/scripts/packages/build.txt"

setup "everything installed: apt is never called" npm
echo wine32:i386$'\t'"an earlier refusal" >"$state/refused.tsv"
touch "$tools/npm" && chmod +x "$tools/npm"
check "set-up succeeds" set_up test
check "apt-get was not called" test "$(calls '')" = 0
check "the earlier verdict is gone" test -z "$(verdict_of wine32:i386)"

setup "the update fails for one index: set-up says so and goes on" npm git
STANDIN_UPDATE=one-index
check "set-up succeeds" set_up test
check "the update was tried three times" test "$(calls '-q update')" = 3
check "one line names the failed index and apt's reason" \
  test "$(grep -c 'failed for 1 of 4 index files.*binary-i386/Packages.xz File has unexpected size' "$state/out")" = 1
check "npm (no npm on PATH) and git were installed" installed npm git
check "the set was simulated before the install" \
  bash -c 'grep -n "^apt-get install" "$1" | head -1 | grep -q "install -s"' _ "$state/log"

setup "the update fails once: the second try does" git
STANDIN_UPDATE=flaky
check "set-up succeeds" set_up test
check "the update was tried twice" test "$(calls '-q update')" = 2
check "no failure is reported" lacks "failed for" "$state/out"

setup "wine32 refused, as on today's mirror: set-up goes on and records why" wine32:i386 git npm
STANDIN_UPDATE=one-index STANDIN_REFUSE=wine32:i386
check "set-up succeeds" set_up test
check "i386 was added to dpkg before the update" \
  bash -c 'grep -n "dpkg --add-architecture i386\|apt-get -q update" "$1" | head -1 | grep -q dpkg' _ "$state/log"
check "the others were installed" installed git npm
check "wine32:i386 was not asked to be installed" lacks "^apt-get install -y.*wine32" "$state/log"
check "the verdict holds apt's words" \
  bash -c '[[ "$1" == "libcurl4:i386 : Depends: libzstd1:i386 (>= 1.5.2) but it is not installable; libglib2.0-0:i386 : Depends: libpcre2-8-0:i386 (>= 10.22) but it is not installable (and 1 more); E: Unable to correct problems, you have held broken packages." ]]' \
  _ "$(verdict_of wine32:i386)"
check "set-up says so" has "optional wine32:i386 cannot be installed: libcurl4:i386" "$state/out"
cp "$state/refused.tsv" "$state/refused.before"
set_up build
check "the build set leaves the test set's verdicts alone" cmp -s "$state/refused.tsv" "$state/refused.before"
# The summary of scripts/test.sh, over a stage that skips on the verdict as 30-windows does.
tree="$work/tree"
rm -rf "$tree"
mkdir -p "$tree/scripts/test.d"
cp -r "$source_root"/scripts/{test.sh,install-deps.sh,verdicts.sh,packages} "$tree/scripts/"
cat >"$tree/scripts/test.d/30-windows.sh" <<'EOF'
source scripts/verdicts.sh
if why=$(refused wine32:i386); then skipped "32-bit Windows" "$why"; else echo "ran the 32-bit tests"; fi
EOF
summary() {
  env PATH="$tools" ORVEN_APT_RETRY_WAIT=0 ORVEN_SETUP_VERDICTS="$state/refused.tsv" \
    bash "$tree/scripts/test.sh" >"$state/test-out" 2>&1
}
check "test.sh passes" summary
check "the stage reports the skip" \
  has "32-bit Windows: skipped — wine32:i386 cannot be installed: libcurl4:i386" "$state/test-out"
check "the summary gives the stage's time against its share, and the skip under it" \
  bash -c 'sed -n "/=== summary/,\$p" "$1" | grep -A1 -E "^30-windows +[0-9]+ s of +[0-9]+ s +passed" |
    grep -q "^  32-bit Windows: skipped — wine32:i386 cannot be installed: .*held broken packages"' \
  _ "$state/test-out"

setup "wine32 installable: nothing is skipped" wine32:i386
echo wine32:i386$'\t'"an earlier refusal" >"$state/refused.tsv"
check "test.sh passes" summary
check "wine32:i386 was installed" installed wine32:i386
check "no verdict is left" test -z "$(verdict_of wine32:i386)"
check "the stage ran its tests" has "ran the 32-bit tests" "$state/test-out"
check "nothing is reported skipped" lacks skipped "$state/test-out"

setup "a required package refused: set-up fails naming it" git wine32:i386
STANDIN_REFUSE="git wine32:i386"
set_up test
check "exit status 1" test $? = 1
check "the message names git and what apt said" \
  has "set-up: git cannot be installed: libcurl4:i386 : Depends: libzstd1:i386" "$state/out"
check "nothing was installed" lacks "^apt-get install -y" "$state/log"
summary
check "test.sh fails at set-up" test $? = 1
check "and runs no stage" lacks "=== stage" "$state/test-out"

setup "no network at all: set-up says so" git
STANDIN_UPDATE=no-network
set_up test
check "exit status 1" test $? = 1
check "set-up says no index could be fetched, with apt's reason, and what is missing" \
  bash -c 'grep -q "could fetch no index file in 3 tries (no network?): .*Temporary failure resolving" "$1" &&
    grep -qx "set-up: cannot install: git" "$1"' _ "$state/out"
check "nothing was simulated or installed" test "$(calls install)" = 0

setup "a user's set-up: the changes go through sudo" wine32:i386 git
STANDIN_UID=1000
check "set-up succeeds" set_up test
check "dpkg --add-architecture, the update and the install through sudo" \
  bash -c 'grep -q "^sudo env .*dpkg --add-architecture i386" "$1" && grep -q "^sudo env .*apt-get -q update" "$1" &&
    grep -q "^sudo env .*apt-get install -y" "$1"' _ "$state/log"
check "the simulations without" lacks "^sudo.*install -s" "$state/log"
check "both installed" installed git wine32:i386

setup "a start: the build set only" libgtk-3-dev xvfb wine32:i386
check "set-up succeeds" set_up build
check "the build set's package was installed" installed libgtk-3-dev
check "the test set's were not" bash -c "! grep -qxE 'xvfb|wine32:i386' '$state/installed'"
check "no i386 architecture was added" test ! -s "$state/architectures"

[ -n "${KEEP:-}" ] && cp -r "$work" "$KEEP"
echo "install-deps: $failures failed"
[ $failures -eq 0 ]
