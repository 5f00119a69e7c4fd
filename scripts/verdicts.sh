# shellcheck shell=bash
# Sourced by the test stages (scripts/test.d): the verdicts set-up (scripts/install-deps.sh)
# recorded of the optional packages apt could not install, and the report of what a stage
# skips for one. A stage skips only on such a verdict: a tool that is merely missing fails
# the tests that need it.
orven_verdicts=${ORVEN_SETUP_VERDICTS:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/setup/refused.tsv}

# refused PACKAGE: prints why PACKAGE cannot be installed ("PACKAGE cannot be installed:
# apt's words") when set-up recorded it so; fails otherwise.
refused() {
  [ -f "$orven_verdicts" ] &&
    awk -F'\t' -v package="$1" '
      $1 == package { print package " cannot be installed: " $2; found = 1; exit }
      END { exit !found }' "$orven_verdicts"
}

# skipped WHAT REASON: says that WHAT is skipped and why, in the stage's output and among
# the notes that scripts/test.sh shows in its summary (the file ORVEN_STAGE_NOTES).
skipped() {
  local line="$1: skipped — $2"
  echo "$line"
  if [ -n "${ORVEN_STAGE_NOTES:-}" ]; then echo "$line" >>"$ORVEN_STAGE_NOTES"; fi
}
