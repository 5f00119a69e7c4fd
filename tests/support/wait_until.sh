# Sourced by the end-to-end scripts: wait_until SECONDS COMMAND... polls COMMAND until it
# succeeds, every $poll_interval seconds (0.1 unless the script sets it), for at most
# SECONDS; fails when the time is up.
wait_until() {
  local seconds=$1
  shift
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep "${poll_interval:-0.1}"
  done
}
