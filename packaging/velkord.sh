#!/bin/sh
# /etc/init.d/velkord.sh: starts, stops and restarts the control daemon, and respawns it after a crash.
#   velkord.sh start|stop|restart|status
# With QUIET set (the daemon's restart item sets it) the script prints nothing.
# The paths can be moved for a staging test: VELKORD_BIN, VELKORD_RUN_DIR, VELKORD_RESPAWN_DELAY.

DAEMON="${VELKORD_BIN:-/usr/bin/velkord}"
RUN_DIR="${VELKORD_RUN_DIR:-/var/run}"
PID_FILE="$RUN_DIR/velkord.pid"
SUPERVISOR_PID_FILE="$RUN_DIR/velkord.respawn.pid"
# A crashed daemon is started again after this many seconds; the watchdog's time-out is longer.
RESPAWN_DELAY="${VELKORD_RESPAWN_DELAY:-1}"
# A stopping daemon gets this many tenths of a second to release the watchdog before SIGKILL.
STOP_WAIT_TENTHS=100

say() {
  [ -n "$QUIET" ] || echo "$@"
}

# A process that ended but was not reaped yet (a zombie) counts as gone.
running() {
  [ -n "$1" ] && [ -r "/proc/$1/stat" ] && ! grep -q '^[0-9]* (.*) Z' "/proc/$1/stat" 2>/dev/null
}

alive() {
  [ -f "$1" ] && running "$(cat "$1" 2>/dev/null)"
}

# Runs the daemon until it stops by itself with status 0 or is stopped by "stop"; any other end
# (a signal, an abort, a non-zero status) starts it again.
supervise() {
  echo $$ > "$SUPERVISOR_PID_FILE"
  stopping=
  daemon=
  # "stop" ends the supervisor, which stops the daemon and reaps it.
  trap 'stopping=1; [ -n "$daemon" ] && kill -TERM "$daemon" 2>/dev/null' TERM
  while [ -z "$stopping" ]; do
    "$DAEMON" &
    daemon=$!
    echo "$daemon" > "$PID_FILE"
    wait "$daemon"
    status=$?
    if [ -n "$stopping" ]; then
      # wait returned on the signal; the daemon may still be writing its watchdog close byte.
      wait "$daemon"
      return 0
    fi
    [ "$status" -eq 0 ] && break
    logger -t velkord.sh "velkord ended with status $status, restarting" 2>/dev/null
    sleep "$RESPAWN_DELAY"
  done
  rm -f "$PID_FILE" "$SUPERVISOR_PID_FILE"
}

start() {
  if alive "$SUPERVISOR_PID_FILE"; then
    say "velkord is already running"
    return 0
  fi
  say "Starting velkord"
  mkdir -p "$RUN_DIR"
  rm -f "$PID_FILE"
  "$0" supervise </dev/null >/dev/null 2>&1 &
  # The pid file exists once the daemon runs.
  tries=0
  while [ ! -s "$PID_FILE" ] && [ $tries -lt 50 ]; do
    sleep 0.1
    tries=$((tries + 1))
  done
}

stop() {
  say "Stopping velkord"
  pid=
  alive "$PID_FILE" && pid=$(cat "$PID_FILE")
  # The supervisor goes first, so that it does not respawn the daemon stopped next.
  if alive "$SUPERVISOR_PID_FILE"; then
    kill -TERM "$(cat "$SUPERVISOR_PID_FILE")" 2>/dev/null
  fi
  if [ -n "$pid" ]; then
    # SIGTERM lets the daemon destroy its objects and write the watchdog's magic-close byte.
    kill -TERM "$pid" 2>/dev/null
    tenths=0
    while running "$pid" && [ $tenths -lt $STOP_WAIT_TENTHS ]; do
      sleep 0.1
      tenths=$((tenths + 1))
    done
    kill -KILL "$pid" 2>/dev/null
  fi
  tenths=0
  while alive "$SUPERVISOR_PID_FILE" && [ $tenths -lt 20 ]; do
    sleep 0.1
    tenths=$((tenths + 1))
  done
  rm -f "$PID_FILE" "$SUPERVISOR_PID_FILE"
}

case "$1" in
  start) start ;;
  stop) stop ;;
  restart) stop; start ;;
  status)
    if alive "$PID_FILE"; then say "velkord is running ($(cat "$PID_FILE"))"; exit 0; fi
    say "velkord is not running"; exit 3 ;;
  supervise) supervise ;;
  *) say "Usage: $0 {start|stop|restart|status}"; exit 1 ;;
esac
exit 0
