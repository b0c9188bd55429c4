#!/usr/bin/env bash
# The demo: the simulator's demo platform on a free loopback port, an
# environment for it in a temporary home folder, the login test, the tree of
# the host view and a search, all through the plug-in that qingcloud-agent
# loads.  Usage: scripts/demo.sh [BIN_DIR]   (default build/bin)
set -euo pipefail

bin=${1:-build/bin}
work=$(mktemp -d)
. "$(dirname "$0")/simulator.sh"
trap 'stop_simulator; rm -rf "$work"' EXIT

start_simulator "$bin/qingcloud-sim" "$work"
port=$SIM_PORT

agent() { "$bin/qingcloud-agent" "$@" --home "$work/home"; }
step() { printf '\n== %s\n' "$*"; }

# The demo platform's back-office key (see the README).
export QINGCLOUD_SECRET_ACCESS_KEY=demo-boss-secret
step "the demo platform listens on 127.0.0.1:$port; a new environment for it"
uuid=$(agent env add --boss-host 127.0.0.1 --api-host 127.0.0.1 --port "$port" --no-ssl \
  --access-key-id QYDEMOBOSS0000000001)
unset QINGCLOUD_SECRET_ACCESS_KEY
agent env list

step "login test"
agent login-test "$uuid"

step "the host view: zones, physical hosts, instances, their disks"
agent tree "$uuid" --view hosts

step "search: instances whose name holds \"web\", in every zone"
agent search "$uuid" --type VirtualMachine web --table
