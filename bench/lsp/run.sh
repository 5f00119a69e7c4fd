#!/usr/bin/env bash
# Language server benchmark: builds orven-cli and runs lsp_bench.py against it (latency
# from didChange to publishDiagnostics on 10,000-line files, a burst, and memory with 100
# documents open). The load of the machine is printed first: timings on a busy machine say
# so.
#   bench/lsp/run.sh [EDITS]     (BUILD=build folder, default build/default)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${BUILD:-$root/build/default}"
cmake --preset default -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j2 --target orven-cli >/dev/null
echo "load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) CPUs"
python3 "$root/bench/lsp/lsp_bench.py" "$build/bin/orven-cli" "${1:-500}"
