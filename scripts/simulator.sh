# Sourced by scripts that need the simulator as a separate process:
#   start_simulator PROGRAM WORK_DIR [OPTIONS...]   sets SIM_PID and SIM_PORT
#   stop_simulator                                  (safe to call twice)
#   stop_process PID NAME   SIGTERM, up to 2 s, then SIGKILL; STOPPED_STATUS
# The simulator writes its port to a file before it prints it; a start that
# fails shows the simulator's output and ends the script.

SIM_PID=
SIM_PORT=

start_simulator() {
  local program=$1 work=$2
  shift 2
  "$program" --port-file "$work/sim.port" "$@" >"$work/sim.log" 2>&1 &
  SIM_PID=$!
  for _ in $(seq 100); do
    [ -s "$work/sim.port" ] && break
    if ! kill -0 "$SIM_PID" 2>/dev/null; then
      cat "$work/sim.log" >&2
      echo "the simulator did not start" >&2
      exit 1
    fi
    sleep 0.1
  done
  SIM_PORT=$(cat "$work/sim.port")
}

# A background job of this shell is stopped and reaped; one that misses its
# SIGTERM is killed, and the script says so, rather than waited for forever.
STOPPED_STATUS=
stop_process() {
  local pid=$1 name=$2
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 20); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "$name (pid $pid) did not end within 2 s of SIGTERM: killed it" >&2
    kill -KILL "$pid" 2>/dev/null || true
  fi
  STOPPED_STATUS=0
  wait "$pid" 2>/dev/null || STOPPED_STATUS=$?
}

stop_simulator() {
  if [ -n "$SIM_PID" ]; then
    stop_process "$SIM_PID" qingcloud-sim
    SIM_PID=
  fi
}
