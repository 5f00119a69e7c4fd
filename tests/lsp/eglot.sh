#!/usr/bin/env bash
# Runs eglot.el in Emacs in batch mode, with Debian's eglot (site files loaded, no user
# init file) in a git work tree of its own, which eglot takes as the project.
# usage: eglot.sh ORVEN_CLI
set -uo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
git -C "$work" init -q .
export ORVEN_CLI=$1 ORVEN_WORK=$work HOME=$work
timeout 120 emacs --batch -q -l "$(dirname "$0")/eglot.el" </dev/null 2>&1 |
  grep -v '^Loading \|^\[eglot\]\|^Wrote '
exit "${PIPESTATUS[0]}"
