#!/usr/bin/env bash
# The threaded tests (the scan threads of a training run, appenders racing on one log, the
# run sequence's hostile cases, the language server's diagnostics worker) again under
# ThreadSanitizer.
set -euo pipefail
cmake --preset tsan
cmake --build --preset tsan
ctest --preset tsan -j2
