#!/usr/bin/env bash
# Makes the packages in build/packages: orven_VERSION_amd64.deb from the default build,
# orven-VERSION-win64.zip and orven-VERSION-win32.zip and the installers
# orven-VERSION-win64.exe and orven-VERSION-win32.exe (NSIS) from the MinGW builds. Then
# checks them: the .deb with lintian, its menu entry with desktop-file-validate and its
# AppStream metainfo with appstreamcli (their outputs are printed as they come), what each
# zip holds and that each installer is one, of its programs' kind (tests/win32/installer.sh
# runs them under Wine).
# Fails when a build, a package or a check fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh test

# Only what the packages hold is built: a fresh checkout needs no test binaries for them.
for preset in default mingw64 mingw32; do
  cmake --preset "$preset" >/dev/null
  if [ "$preset" = default ]; then
    cmake --build --preset "$preset" --target orven orven-cli orven_docs
  else
    cmake --build --preset "$preset" --target orven orven-cli
  fi
  cpack --preset "$preset"
done

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/default/CMakeCache.txt)
out="$root/build/packages"
deb="$out/orven_${version}_amd64.deb"
failed=0
check() {  # check NAME COMMAND...: runs a check, prints its output, notes a failure
  echo "--- $1"
  shift
  "$@" || { echo "FAILED: $*"; failed=1; }
}

# lintian says it runs as root, on stderr, which is no finding about the package.
check "lintian $(basename "$deb")" \
  bash -c 'lintian --fail-on error,warning "$1" 2> >(grep -v "root privileges" >&2)' _ "$deb"
staged=$(mktemp -d)
trap 'rm -rf "$staged"' EXIT
dpkg-deb -x "$deb" "$staged"
check "desktop-file-validate usr/share/applications/orven.desktop" \
  desktop-file-validate "$staged/usr/share/applications/orven.desktop"
for metainfo in "$staged"/usr/share/metainfo/*.xml; do
  check "appstreamcli validate --no-net usr/share/metainfo/$(basename "$metainfo")" \
    appstreamcli validate --no-net "$metainfo"
done

for bits in 64 32; do
  zip="$out/orven-${version}-win$bits.zip"
  want="orven-${version}-win$bits/START.txt orven-${version}-win$bits/orven-cli.exe orven-${version}-win$bits/orven.exe"
  got=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
  check "$(basename "$zip")" test "$got" = "$want "
  echo "$got"
  installer="$out/orven-${version}-win$bits.exe"
  # The win64 installer is itself a 64-bit program, which `file` does not name as an NSIS
  # archive: the header's signature says so instead.
  kind="PE32 executable (GUI) Intel 80386"
  [ $bits = 64 ] && kind="PE32+ executable (GUI) x86-64"
  check "$(basename "$installer"): $kind, an NSIS installer" \
    bash -c 'file -b "$1" | grep -qF "$2" && grep -qa NullsoftInst "$1"' _ "$installer" "$kind"
done

ls -l "$out"/*.deb "$out"/*.zip "$out"/*.exe
[ $failed -eq 0 ] && echo "packages: all made and checked"
exit $failed
