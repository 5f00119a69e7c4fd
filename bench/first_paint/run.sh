#!/usr/bin/env bash
# Times orven from its start to its first painted window (the blue panel on screen), on a
# private Xvfb with a private session bus and accessibility bus (as a desktop session has
# them, so GTK's accessibility bridge connects as it does for a user), side by side with the
# floor of that time on GTK 3 (bench_first_paint_floor: a bare window with one label), the
# starts interleaved. For each it prints the first paint of every start, the best, median and
# worst, and the median and best CPU time (user + system) per start. It also prints the size
# and shared-library dependencies of the binary.
# ORVEN_BENCH_BEFORE=REVISION adds the window of that revision (built from `git archive` in
# the build folder, after its own scripts/install-deps.sh installed what it builds with),
# for a before and after in one run; several revisions, separated by blanks, add one each.
# Usage: bench/first_paint/run.sh [STARTS]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="${ORVEN_BENCH_BUILD:-$root/build/bench}"
starts="${1:-20}"
before="${ORVEN_BENCH_BEFORE:-}"

cmake --preset default -B "$build" -DORVEN_BUILD_TESTS=OFF -DORVEN_BUILD_GTK=ON >/dev/null
cmake --build "$build" -j2 --target orven bench_first_paint bench_first_paint_floor >/dev/null
programs=(orven "$build/bin/orven" "floor (bare GTK 3)" "$build/bin/bench_first_paint_floor")
for revision in $before; do
  before_build="$build/before-${revision//\//-}"
  before_src="$before_build-src"
  rm -rf "$before_src"
  mkdir -p "$before_src"
  git -C "$root" archive "$revision" | tar -x -C "$before_src"
  # An earlier window may build on another toolkit.
  [ -f "$before_src/scripts/install-deps.sh" ] && bash "$before_src/scripts/install-deps.sh"
  cmake -S "$before_src" -B "$before_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORVEN_BUILD_TESTS=OFF -DORVEN_BUILD_BENCH=OFF >/dev/null
  cmake --build "$before_build" -j2 --target orven >/dev/null
  programs+=("orven before ($revision)" "$before_build/bin/orven")
done

work=$(mktemp -d /tmp/orven-bench-paint.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$work/display")"
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS NO_AT_BRIDGE GDK_GL
# The accessibility bus's socket goes there, apart from any other session's.
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
if command -v dbus-daemon >/dev/null && [ -x /usr/libexec/at-spi-bus-launcher ]; then
  dbus-daemon --session --nofork --print-address=3 3>"$work/bus" 2>/dev/null &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$work/bus" ] && break; sleep 0.05; done
  export DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/bus")
  /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
  echo "session bus and accessibility bus: running"
else
  echo "session bus and accessibility bus: none (dbus-daemon or at-spi2-core missing)"
fi

cd "$work"
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) cores"
"$build/bin/bench_first_paint" --starts "$starts" "${programs[@]}"
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
binaries=("$build/bin/orven")
for revision in $before; do binaries+=("$build/before-${revision//\//-}/bin/orven"); done
for binary in "${binaries[@]}"; do
  echo "$binary: $(stat -c %s "$binary") bytes ($(du -h "$binary" | cut -f1)), stripped:" \
    "$(strip -o "$work/stripped" "$binary" && stat -c %s "$work/stripped") bytes," \
    "$(ldd "$binary" | wc -l) shared libraries"
done
echo "shared libraries of orven:"
ldd "$build/bin/orven"
