#!/usr/bin/env bash
# The Debian package from outside: build it, unpack it into an empty root,
# and from that root alone (no build tree, no LD_LIBRARY_PATH) probe the
# plug-in, test a login and list an inventory level against the packaged
# simulator; then check it as a system service (service_check.sh).
# Usage: packaging/package_check.sh BUILD_DIR
set -euo pipefail

build=$(cd "$1" && pwd)
work=$(mktemp -d)
. "$(dirname "$0")/../scripts/simulator.sh"
trap 'stop_simulator; rm -rf "$work"' EXIT
fail() {
  echo "package check: $*" >&2
  exit 1
}

(cd "$build" && cpack -G DEB >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=$(ls "$build"/package/*.deb)
dpkg-deb -x "$deb" "$work/root"
root=$work/root
bin=$root/usr/bin
plugins=$work/root/usr/lib/qingcloud-agent/plugins
unset LD_LIBRARY_PATH

# Nothing in the package points into the build tree.
if readelf -d "$bin"/* "$plugins"/*.so | grep -F "$build"; then
  fail "a run path points into the build tree"
fi
for program in "$bin/qingcloud-agent" "$bin/qingcloud-sim" "$plugins/libqingcloud.so"; do
  taken=$(ldd "$program" | awk '$1 == "libagent_host.so" { print $3 }')
  [ -n "$taken" ] && [ "$(realpath "$taken")" = "$(realpath "$plugins/libagent_host.so")" ] ||
    fail "$program does not take the packaged libagent_host.so (it takes '$taken')"
done

version=$(dpkg-deb -f "$deb" Version)
[ "$("$bin/qingcloud-agent" --version)" = "qingcloud-agent $version" ] || fail "wrong version"

probe=$("$bin/qingcloud-agent" probe)
loaded=$(awk '$1 == "plug-in:" { print $2 }' <<<"$probe")
[ "$(realpath "$loaded")" = "$(realpath "$plugins/libqingcloud.so")" ] ||
  fail "probe loaded another plug-in: $loaded"
grep -F "instance: QingCloud_Proxy" <<<"$probe" >/dev/null || fail "no proxy instance: $probe"

start_simulator "$bin/qingcloud-sim" "$work"
port=$SIM_PORT

agent() { "$bin/qingcloud-agent" "$@" --home "$work/home"; }
uuid=$(QINGCLOUD_SECRET_ACCESS_KEY=demo-boss-secret agent env add --boss-host 127.0.0.1 \
  --api-host 127.0.0.1 --port "$port" --no-ssl --access-key-id QYDEMOBOSS0000000001)
agent login-test "$uuid" | grep -F '"status": true' >/dev/null || fail "the login test failed"
agent ls "$uuid" --type Zone --moid pek3a --table | grep -Fx "HostSystem pek3ar01n01 zone=pek3a" \
  >/dev/null || fail "the listing failed"

. "$(dirname "$0")/service_check.sh"
echo "package check: $(basename "$deb") works from $work/root alone"
