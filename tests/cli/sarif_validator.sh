#!/usr/bin/env bash
# The SARIF logs of orven-cli through Microsoft's validator (`sarif-multitool validate`),
# which must find no error. The validator comes from the npm registry and is installed into
# the build tree on first use; npm may skip its install scripts, which make the Linux binary
# executable, so that is done here.
#
# usage: sarif_validator.sh ORVEN_CLI SOURCE_ROOT TOOL_FOLDER
set -euo pipefail
cli=$1
source_root=$2
tool=$3
version=5.7.0
binary="$tool/node_modules/@microsoft/sarif-multitool-linux/Sarif.Multitool"
if [ ! -f "$binary" ] || ! grep -q "\"version\": \"$version\"" "$tool/node_modules/@microsoft/sarif-multitool/package.json"; then
  command -v npm >/dev/null || { echo "npm is missing (scripts/install-deps.sh installs it)"; exit 1; }
  mkdir -p "$tool"
  npm install --prefix "$tool" --no-audit --no-fund --loglevel=error "@microsoft/sarif-multitool@$version"
fi
chmod u+x "$binary"
"$binary" --version | head -1
exec /usr/bin/python3 "$source_root/tests/cli/findings_check.py" "$cli" "$source_root" "$binary"
