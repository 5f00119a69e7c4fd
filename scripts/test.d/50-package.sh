#!/usr/bin/env bash
# The packages (scripts/package.sh: all made, the .deb checked by lintian,
# desktop-file-validate and appstreamcli); the Windows installers each installed, run and
# uninstalled silently under Wine in a fresh prefix of their own (tests/win32/installer.sh;
# the win32 one reported skipped when set-up recorded that wine32 cannot be installed);
# then, in CI or with ORVEN_INSTALL_TEST=1, the .deb installed with apt-get as a user would,
# orven-cli run from /usr/bin on the sample and the package removed again. The .deb install
# changes the machine, so a plain local run leaves it out.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
source scripts/verdicts.sh
bash scripts/package.sh

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/default/CMakeCache.txt)
# The two installers side by side, each in a prefix and a Wine server of its own: they
# mostly wait for Wine.
installers=()
for bits in 64 32; do
  if [ $bits = 32 ] && why=$(refused wine32:i386); then
    skipped "win32 installer" "$why"
    continue
  fi
  mkdir -p "build/mingw$bits/installer"
  bash tests/win32/installer.sh "build/packages/orven-${version}-win$bits.exe" "$bits" \
    build/default/bin/orven-cli . "build/mingw$bits/installer" \
    >"build/mingw$bits/installer/test.log" 2>&1 &
  installers+=("$bits:$!")
done
installers_failed=0
for installer in "${installers[@]}"; do
  bits=${installer%%:*}
  wait "${installer#*:}" || installers_failed=1
  cat "build/mingw$bits/installer/test.log"
done
[ $installers_failed -eq 0 ] || exit 1

if [ -z "${CI:-}" ] && [ -z "${ORVEN_INSTALL_TEST:-}" ]; then
  echo "install check skipped (CI or ORVEN_INSTALL_TEST=1 runs it)"
  exit 0
fi
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}

$sudo apt-get install -y -q --no-install-recommends "./build/packages/orven_${version}_amd64.deb"
[ "$(dpkg-query -W -f='${Version}' orven)" = "$version" ] || fail "orven $version is not installed"
for file in /usr/bin/orven /usr/bin/orven-cli /usr/share/man/man1/orven-cli.1.gz; do
  [ -e "$file" ] || fail "$file is missing"
done
# The installed program writes what the build's own writes for the same source.
mkdir -p "$work/installed" "$work/built"
cp samples/guestbook.php "$work/"
(cd "$work/installed" && /usr/bin/orven-cli training ../guestbook.php >../installed.out) ||
  fail "/usr/bin/orven-cli training failed"
(cd "$work/built" && "$root/build/default/bin/orven-cli" training ../guestbook.php >../built.out)
cmp -s "$work/installed.out" "$work/built.out" ||
  fail "the installed orven-cli said: $(cat "$work/installed.out")"
cmp -s "$work/installed/result.html" "$work/built/result.html" ||
  fail "the installed orven-cli wrote another result.html than the build's"
printf '#root::math::get_ctr 7 100\n' >"$work/script.txt"
(cd "$work/installed" && /usr/bin/orven-cli expert ../script.txt >/dev/null) ||
  fail "/usr/bin/orven-cli expert failed"
[ "$(cat "$work/installed/orven_log.txt")" = $'#root::math::get_ctr << 7\r' ] ||
  fail "orven_log.txt: $(od -c "$work/installed/orven_log.txt" | head -3)"

$sudo apt-get remove -y -q orven
[ ! -e /usr/bin/orven-cli ] || fail "/usr/bin/orven-cli is still there after the removal"
echo "package: installed, ran from /usr/bin and removed"
