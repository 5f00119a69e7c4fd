#!/usr/bin/env bash
# Line coverage of the core (workspace/, advisor/, script/, texts/) under the whole test
# suite: a gcc build with --coverage (build/coverage, or COVERAGE_BUILD_DIR), every CTest
# test of it, then gcovr (Debian package gcovr). Prints the per-file table and the total
# line coverage; the table is also kept in BUILD/coverage.txt.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${COVERAGE_BUILD_DIR:-$root/build/coverage}
command -v gcovr >/dev/null || { echo "coverage: gcovr is missing (apt-get install gcovr)" >&2; exit 1; }

mkdir -p "$build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVEN_BUILD_BENCH=OFF \
  -DCMAKE_C_FLAGS=--coverage -DCMAKE_CXX_FLAGS=--coverage \
  -DCMAKE_EXE_LINKER_FLAGS=--coverage >"$build/configure.log" 2>&1 ||
  { cat "$build/configure.log"; exit 1; }
cmake --build "$build" -j2 || exit 1

# Counts from an earlier run would add up with this one's.
find "$build" -name '*.gcda' -delete
ctest --test-dir "$build" -j2 --output-on-failure
tests_status=$?
[ $tests_status -eq 0 ] || echo "coverage: some tests failed; the figures below are what ran"

filters=()
for room in workspace advisor script texts; do filters+=(--filter "$root/$room/"); done
# The objects of the libraries, the programs and the tests; not CMake's own probes.
gcovr --root "$root" "${filters[@]}" --exclude-unreachable-branches --print-summary \
  "$build"/{workspace,advisor,script,app,tests} | tee "$build/coverage.txt"
exit $tests_status
