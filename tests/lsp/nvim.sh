#!/usr/bin/env bash
# Runs nvim.lua in a headless Neovim with no configuration of the user's.
# usage: nvim.sh ORVEN_CLI
set -uo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ORVEN_CLI=$1 ORVEN_WORK=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data \
  XDG_STATE_HOME=$work/state XDG_CACHE_HOME=$work/cache
timeout 120 nvim --headless -u NONE -i NONE -n \
  -c "luafile $(dirname "$0")/nvim.lua" </dev/null
