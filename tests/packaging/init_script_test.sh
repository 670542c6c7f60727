#!/bin/sh
# The init script against a stand-in daemon in a temporary run directory: start, status, restart,
# respawn after a crash, QUIET, stop. Nothing outside the temporary directory is touched.
# Usage: init_script_test.sh SCRIPT FAKE_DAEMON
set -u
script=$1
export VELKORD_BIN=$2 VELKORD_RESPAWN_DELAY=0.2
VELKORD_RUN_DIR=$(mktemp -d)
export VELKORD_RUN_DIR
pid_file=$VELKORD_RUN_DIR/velkord.pid
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
cleanup() { QUIET=1 "$script" stop; rm -rf "$VELKORD_RUN_DIR"; }
trap cleanup EXIT
# A zombie counts as gone: the container's init may never reap it.
process_runs() { [ -r "/proc/$1/stat" ] && ! grep -q '^[0-9]* (.*) Z' "/proc/$1/stat"; }
running() { [ -s "$pid_file" ] && process_runs "$(cat "$pid_file")"; }
wait_for_new_pid() { # old pid
  i=0
  while [ $i -lt 50 ]; do
    if running && [ "$(cat "$pid_file")" != "$1" ]; then return 0; fi
    sleep 0.1; i=$((i + 1))
  done
  return 1
}

out=$("$script" start)
[ "$out" = "Starting velkord" ] || fail "start said '$out'"
running || fail "no daemon after start"
first=$(cat "$pid_file")
"$script" status >/dev/null || fail "status of a running daemon is not 0"

out=$(QUIET=1 "$script" restart)
[ -z "$out" ] || fail "QUIET restart said '$out'"
wait_for_new_pid "$first" || fail "restart did not start a new daemon"
process_runs "$first" && fail "restart left the old daemon running"

second=$(cat "$pid_file")
kill -SEGV "$second"
wait_for_new_pid "$second" || fail "no respawn after a crash"
third=$(cat "$pid_file")

out=$("$script" stop)
[ "$out" = "Stopping velkord" ] || fail "stop said '$out'"
process_runs "$third" && fail "stop left the daemon running"
[ -e "$pid_file" ] && fail "stop left the pid file"
sleep 0.5
[ -e "$pid_file" ] && fail "a daemon was respawned after stop"
"$script" status >/dev/null && fail "status of a stopped daemon is 0"

[ $failures -eq 0 ] && echo "init script: all checks passed"
exit $failures
