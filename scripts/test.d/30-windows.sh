#!/usr/bin/env bash
# The Windows programs: the 64-bit cross-build and its whole test suite under wine64, the
# 32-bit cross-build and its whole test suite under wine32 (orven-cli.exe on Cyrillic paths
# included), and the 64-bit orven.exe end to end under Xvfb + wine64 against the Linux
# orven-cli, then at 96 and 192 DPI. When set-up recorded that wine32 cannot be installed,
# the 32-bit programs are only built and their imports and resources checked, and the rest
# of their tests is reported skipped with apt's reason. Every step runs even when one
# fails; the stage fails when any did.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root" || exit 1
source scripts/verdicts.sh
failed=()
step() {  # step NAME COMMAND...: runs a step, notes a failure
  "${@:2}" || failed+=("$1")
}

cmake --preset mingw64 || exit 1
cmake --build --preset mingw64 || exit 1
cmake --preset mingw32 || exit 1

# The Wine tests mostly wait (for Wine to start, for windows to appear): the 32-bit build
# runs beside them on one core.
wine32_refused=""
build32=(cmake --build --preset mingw32 --parallel 1)
if wine32_refused=$(refused wine32:i386); then build32+=(--target orven orven-cli); fi
# A session of its own, so that a stage that ends early ends the compilers too.
setsid "${build32[@]}" >build/mingw32/build.log 2>&1 &
build32_pid=$!
trap 'kill -- -$build32_pid 2>/dev/null' EXIT

# Create the test prefix (once) and start Wine's helpers before CTest times anything.
WINEPREFIX="$root/build/mingw64/wineprefix" tests/win32/wine-run.sh cmd /c exit >/dev/null
step "mingw64 tests" ctest --preset mingw64

linux_cli="$root/build/default/bin/orven-cli"
if [ ! -x "$linux_cli" ]; then
  cmake --preset default && cmake --build --preset default --target orven-cli || exit 1
fi
step "window end to end" bash tests/win32/e2e.sh build/mingw64/bin/orven.exe \
  build/mingw64/bin/orven-cli.exe "$linux_cli" . build/mingw64/e2e
step "window at 96 and 192 DPI" bash tests/win32/e2e_dpi.sh build/mingw64/bin/orven.exe \
  build/mingw64/e2e

echo "--- the 32-bit build (beside the tests above)"
if ! wait $build32_pid; then
  cat build/mingw32/build.log
  exit 1
fi
tail -n 1 build/mingw32/build.log
if [ -n "$wine32_refused" ]; then
  step "mingw32 link checks" ctest --preset mingw32 -L link-check
  skipped "32-bit Windows" "$wine32_refused"
else
  WINEPREFIX="$root/build/mingw32/wineprefix" WINELOADER=/usr/lib/wine/wine \
    tests/win32/wine-run.sh cmd /c exit >/dev/null
  step "mingw32 tests" ctest --preset mingw32
fi

for bits in 64 32; do
  for exe in build/mingw$bits/bin/orven.exe build/mingw$bits/bin/orven-cli.exe; do
    echo "$exe: $(stat -c %s "$exe") bytes"
  done
done
# The lingering wineservers of the test prefixes end now rather than a minute later.
server=/usr/lib/wine/wineserver64
[ -x "$server" ] || server=wineserver
for bits in 64 32; do
  WINEPREFIX="$root/build/mingw$bits/wineprefix" "$server" -k 2>/dev/null || true
done
[ ${#failed[@]} -eq 0 ] || { echo "failed: ${failed[*]}"; exit 1; }
