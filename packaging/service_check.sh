# Sourced by package_check.sh once the package is unpacked into $root and
# the simulator runs on $SIM_PORT: the package as a system service.
#   - its manual pages are there, and lintian finds neither error nor warning;
#   - systemd-analyze verifies the unit and rates its sandbox;
#   - serve, started as the unit starts it (its arguments and environment,
#     from the unpacked package), answers /healthz and /metrics, keeps its
#     token out of its log, and stops cleanly on SIGTERM.
# No running systemd is needed.

unit=$root/usr/lib/systemd/system/qingcloud-agent.service
defaults=$root/etc/default/qingcloud-agent
[ -f "$unit" ] && [ -f "$defaults" ] || fail "the unit or its settings file is missing"
# They may hold a proxy password (postinst gives them to the service's group).
[ "$(stat -c %a "$defaults")" = 640 ] || fail "$defaults is not of mode 0640"
for page in qingcloud-agent qingcloud-sim; do
  [ -s "$root/usr/share/man/man1/$page.1.gz" ] || fail "no manual page $page(1)"
done

# Every program and library is built hardened (dpkg-buildflags).  Control-flow
# protection is not asked for: the C runtime's start files of this Debian
# release carry no CET note, so no program linked here can.
command -v hardening-check >/dev/null ||
  fail "hardening-check is missing (scripts/install-deps.sh package)"
for binary in "$root"/usr/bin/* "$root"/usr/lib/qingcloud-agent/plugins/*.so; do
  hardening-check --quiet --nocfprotection "$binary" >"$work/hardening.log" 2>&1 || {
    hardening-check "$binary" >&2
    fail "$binary is not built hardened"
  }
done

command -v lintian >/dev/null || fail "lintian is missing (scripts/install-deps.sh package)"
lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 || {
  cat "$work/lintian.log" >&2
  fail "lintian found errors or warnings"
}

# systemd-analyze looks for the program and the units the unit names in a
# root of its own: the package's files and the system's targets and slices.
command -v systemd-analyze >/dev/null || fail "systemd-analyze is missing (scripts/install-deps.sh package)"
verify_root=$work/verify-root
cp -a "$root" "$verify_root"
cp -L /lib/systemd/system/*.target /lib/systemd/system/*.slice "$verify_root/usr/lib/systemd/system/"
MANPATH=$root/usr/share/man systemd-analyze verify --root="$verify_root" qingcloud-agent.service \
  >"$work/verify.log" 2>&1 || true
if [ -s "$work/verify.log" ]; then
  cat "$work/verify.log" >&2
  fail "systemd-analyze verify found problems in the unit"
fi
systemd-analyze security --offline=true --root="$verify_root" qingcloud-agent.service \
  >"$work/security.log" 2>&1 || true
exposure=$(grep -o 'Overall exposure level for qingcloud-agent.service: [0-9.]* [A-Z]*' \
  "$work/security.log" | awk '{print $(NF-1), $NF}')
echo "package check: systemd-analyze security: exposure $exposure"
case $exposure in
  *" PERFECT" | *" SAFE" | *" OK") ;;
  *)
    cat "$work/security.log" >&2
    fail "the unit's sandbox rates '$exposure', worse than OK"
    ;;
esac

# The unit's command and environment, as systemd would make them: its
# Environment= first, then the settings file, with the port set there to a
# free one, as an administrator would.
state=$work/state
install -d -m 0700 "$state"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cp "$defaults" "$work/defaults"
sed -i "s/^QINGCLOUD_AGENT_PORT=.*/QINGCLOUD_AGENT_PORT=$port/" "$work/defaults"
grep -q "^QINGCLOUD_AGENT_PORT=$port\$" "$work/defaults" || fail "no port setting in $defaults"
settings=()
for word in $(sed -n 's/^Environment=//p' "$unit"); do settings+=("$word"); done
while IFS= read -r line; do
  case $line in '' | '#'*) continue ;; esac
  value=${line#*=}
  value=${value#\"}
  settings+=("${line%%=*}=${value%\"}")
done <"$work/defaults"
grep -Fxq "EnvironmentFile=-/etc/default/qingcloud-agent" "$unit" || fail "the unit reads other settings"
grep -Fxq "UMask=0077" "$unit" || fail "the unit sets another umask"
exec_start=$(sed -n 's/^ExecStart=//p' "$unit")
exec_start=${exec_start//\/usr\/bin\//$root/usr/bin/}
exec_start=${exec_start//\/var\/lib\/qingcloud-agent/$state}
grep -Fq -- "--listen 127.0.0.1:" <<<"$exec_start" || fail "the unit listens beyond loopback"

# As root, the service's folder belongs to a user of its own, and commands
# that root runs on it act as that user.
if [ "$(id -u)" = 0 ]; then
  chmod 0711 "$work"
  chown nobody:nogroup "$state"
fi
# The secret comes from a file only its owner (root, when root runs this)
# may read, which is read before the command takes the home owner's identity.
secret_file=$work/secret
(umask 0077 && printf 'demo-boss-secret\n' >"$secret_file")
uuid=$("$bin/qingcloud-agent" env add --home "$state" --boss-host 127.0.0.1 --api-host 127.0.0.1 \
  --port "$SIM_PORT" --no-ssl --access-key-id QYDEMOBOSS0000000001 --secret-file "$secret_file")
if [ "$(id -u)" = 0 ]; then
  [ "$(stat -c %U "$state/environments.json")" = nobody ] ||
    fail "env add as root left the store to $(stat -c %U "$state/environments.json")"
fi

# The log goes to the journal: JOURNAL_STREAM names the stream it is.
log=$work/service.log
: >"$log"
journal=$(stat -c '%d:%i' "$log")
(
  umask 0077
  for setting in "${settings[@]}"; do export "${setting?}"; done
  eval "exec env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin JOURNAL_STREAM=$journal ${settings[*]@Q} $exec_start"
) >>"$log" 2>&1 &
service_pid=$!
trap 'stop_process "$service_pid" "qingcloud-agent serve"; stop_simulator; rm -rf "$work"' EXIT

for _ in $(seq 100); do
  [ -s "$state/serve-url" ] && break
  kill -0 "$service_pid" 2>/dev/null || { cat "$log" >&2; fail "serve did not start"; }
  sleep 0.1
done
url=$("$bin/qingcloud-agent" serve-url --home "$state") || fail "serve-url failed"
[ "$(stat -c %a "$state/serve-url")" = 600 ] || fail "serve-url is not of mode 0600"
token=${url##*token=}
[ -n "$token" ] && [ "$token" != "$url" ] || fail "serve-url printed no token: $url"
grep -Fq "listening on http://127.0.0.1:$port/" "$log" || { cat "$log" >&2; fail "no address in the log"; }

http() {
  python3 - "$@" <<'PY'
import sys, urllib.request, urllib.error
url, token, body = sys.argv[1], sys.argv[2], sys.argv[3] if len(sys.argv) > 3 else None
request = urllib.request.Request(url, data=body.encode() if body else None)
if token:
    request.add_header("Authorization", "Bearer " + token)
if body:
    request.add_header("Content-Type", "application/json")
try:
    with urllib.request.urlopen(request, timeout=30) as reply:
        print(reply.status)
        print(reply.read().decode())
except urllib.error.HTTPError as e:
    print(e.code)
PY
}
base=http://127.0.0.1:$port
[ "$(http "$base/healthz" "")" = "$(printf '200\nok\n')" ] || fail "/healthz did not answer ok"
[ "$(http "$base/metrics" "" | head -1)" = 401 ] || fail "/metrics answered without the token"
answer=$(http "$base/rpc" "$token" "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"host.environments.test\",\"params\":{\"uuid\":\"$uuid\"}}")
grep -Fq '"status":true' <<<"$answer" || fail "the login test through /rpc failed: $answer"
metrics=$(http "$base/metrics" "$token")
for line in 'qingcloud_agent_rpc_requests_total{method="host.environments.test",outcome="ok"} 1' \
  'qingcloud_agent_platform_requests_total{outcome="2xx"}' \
  'qingcloud_agent_environments 1' 'qingcloud_agent_listings_in_flight 0' \
  'process_resident_memory_bytes '; do
  grep -Fq "$line" <<<"$metrics" || fail "/metrics lacks '$line': $metrics"
done

stop_process "$service_pid" "qingcloud-agent serve"
[ "$STOPPED_STATUS" = 0 ] || { cat "$log" >&2; fail "serve ended with status $STOPPED_STATUS on SIGTERM"; }
[ ! -e "$state/serve-url" ] || fail "serve left its serve-url behind"
grep -Fq "stopping on SIGTERM" "$log" || fail "serve did not log its stop"
if grep -Fq "$token" "$log"; then fail "the token is in the service's log"; fi
echo "package check: the service answers /healthz and /metrics as its unit starts it"
