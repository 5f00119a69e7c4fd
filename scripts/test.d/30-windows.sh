#!/usr/bin/env bash
# The Windows programs: the 64-bit cross-build and its whole test suite under wine64, the
# 32-bit cross-build and its whole test suite under wine32 (orven-cli.exe on Cyrillic paths
# included), and the 64-bit orven.exe end to end under Xvfb + wine64 against the Linux
# orven-cli, then at 96 and 192 DPI. When set-up recorded that wine32 cannot be installed,
# the 32-bit programs are only built and their imports and resources checked, and the rest
# of their tests is reported skipped with apt's reason.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
source scripts/verdicts.sh

cmake --preset mingw64
cmake --build --preset mingw64
# Create the test prefix (once) and start Wine's helpers before CTest times anything.
WINEPREFIX="$root/build/mingw64/wineprefix" tests/win32/wine-run.sh cmd /c exit >/dev/null
ctest --preset mingw64

cmake --preset mingw32
if why=$(refused wine32:i386); then
  cmake --build --preset mingw32 --target orven orven-cli
  ctest --preset mingw32 -L link-check
  skipped "32-bit Windows" "$why"
else
  cmake --build --preset mingw32
  WINEPREFIX="$root/build/mingw32/wineprefix" WINELOADER=/usr/lib/wine/wine \
    tests/win32/wine-run.sh cmd /c exit >/dev/null
  ctest --preset mingw32
fi

linux_cli="$root/build/default/bin/orven-cli"
if [ ! -x "$linux_cli" ]; then
  cmake --preset default
  cmake --build --preset default --target orven-cli
fi
bash tests/win32/e2e.sh build/mingw64/bin/orven.exe build/mingw64/bin/orven-cli.exe \
  "$linux_cli" . build/mingw64/e2e
bash tests/win32/e2e_dpi.sh build/mingw64/bin/orven.exe build/mingw64/e2e

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
