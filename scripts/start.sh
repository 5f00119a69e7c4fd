#!/usr/bin/env bash
# Installs what building and running needs (scripts/install-deps.sh build), builds the
# programs alone (no tests, no benchmarks) and starts ОРВЕН: the desktop window when there
# is a display to show it on, otherwise a training run of the command-line program on the
# sample source.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh build
# The default build folder, which the tests' configure (the preset turns both on) then
# fills up.
cmake --preset default -DORVEN_BUILD_TESTS=OFF -DORVEN_BUILD_BENCH=OFF >/dev/null
cmake --build --preset default --target orven orven-cli
bin="$root/build/default/bin"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  # orven ends with status 1 only when it cannot open the display; then fall through.
  status=0
  "$bin/orven" || status=$?
  [ $status -ne 1 ] && exit $status
fi
out="$root/build/default/sample-run"
mkdir -p "$out"
cd "$out"
echo "No display for the window; running: orven-cli training samples/guestbook.php"
"$bin/orven-cli" training "$root/samples/guestbook.php"
echo "The report is in $out/result.html"
