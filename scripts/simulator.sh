# Sourced by scripts that need the simulator as a separate process:
#   start_simulator PROGRAM WORK_DIR [OPTIONS...]   sets SIM_PID and SIM_PORT
#   stop_simulator                                  (safe to call twice)
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

stop_simulator() {
  if [ -n "$SIM_PID" ]; then
    kill "$SIM_PID" 2>/dev/null || true
    wait "$SIM_PID" 2>/dev/null || true
    SIM_PID=
  fi
}
