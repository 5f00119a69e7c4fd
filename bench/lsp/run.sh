#!/usr/bin/env bash
# Language server benchmark: builds orven-cli and bench_lsp_scan and runs lsp_bench.py
# against them (latency from didChange to publishDiagnostics on 10,000-line files beside the
# scan alone and a whole orven-cli run, a burst, and memory with 100 documents open). The
# load of the machine is printed first, and again after: timings on a busy machine say so.
#   bench/lsp/run.sh [EDITS]     (BUILD=build folder, default build/default)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${BUILD:-$root/build/default}"
cmake --preset default -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j2 --target orven-cli bench_lsp_scan >/dev/null
echo "load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) CPUs"
python3 "$root/bench/lsp/lsp_bench.py" "$build/bin/orven-cli" "$build/bin/bench_lsp_scan" \
  "${1:-500}"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
