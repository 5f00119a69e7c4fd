#!/usr/bin/env bash
# Times orven from its start to its first painted window (the blue panel on screen), on a
# private Xvfb, and prints the size and shared-library dependencies of the binary.
# Usage: bench/first_paint/run.sh [STARTS]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="${ORVEN_BENCH_BUILD:-$root/build/bench}"
starts="${1:-20}"

cmake --preset default -B "$build" -DORVEN_BUILD_TESTS=OFF -DORVEN_BUILD_GTK=ON >/dev/null
cmake --build "$build" -j2 --target orven bench_first_paint >/dev/null

work=$(mktemp -d /tmp/orven-bench-paint.XXXXXX)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$work/display")"

cd "$work"
"$build/bin/bench_first_paint" "$build/bin/orven" "$starts"
echo "binary: $(stat -c %s "$build/bin/orven") bytes ($(du -h "$build/bin/orven" | cut -f1)), stripped: $(strip -o "$work/stripped" "$build/bin/orven" && stat -c %s "$work/stripped") bytes"
echo "shared libraries:"
ldd "$build/bin/orven"
