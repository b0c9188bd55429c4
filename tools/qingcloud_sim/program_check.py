#!/usr/bin/env python3
"""Checks the qingcloud-sim program from outside, with requests signed by
this script alone (Python standard library): it serves the demo inventory
when started without arguments, answers a request signed with the demo
back-office key, refuses the same request with one byte of the signature
changed, honours its options and stops cleanly on SIGTERM and SIGINT.

usage: program_check.py PATH_TO_QINGCLOUD_SIM
"""
import base64
import hashlib
import hmac
import http.client
import json
import os
import select
import signal
import ssl
import subprocess
import sys
import tempfile
import time
import urllib.parse

BOSS = ("QYDEMOBOSS0000000001", "demo-boss-secret")
OPS = ("QYDEMOOPS00000000001", "demo-ops-secret")


def encode(text):
    return urllib.parse.quote(str(text), safe="-_.~")


def signed(method, path, pairs, secret):
    query = "&".join(encode(k) + "=" + encode(v) for k, v in sorted(pairs.items()))
    text = "\n".join([method, path, query]).encode()
    digest = hmac.new(secret.encode(), text, hashlib.sha256).digest()
    return query, base64.b64encode(digest).decode()


def now():
    return time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime())


def call(port, method, path, body_or_query, tls=False):
    if tls:
        context = ssl.create_default_context()
        context.check_hostname = False
        context.verify_mode = ssl.CERT_NONE
        connection = http.client.HTTPSConnection("127.0.0.1", port, timeout=10, context=context)
    else:
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
    if method == "POST":
        headers = {"Content-Type": "application/x-www-form-urlencoded"}
        connection.request("POST", path, body_or_query, headers)
    else:
        connection.request("GET", path + "?" + body_or_query)
    response = connection.getresponse()
    return response.status, json.loads(response.read().decode())


def boss2(port, action, params, flip=False, tls=False):
    params = dict(params, action=action, version=1, signature_version=1,
                  signature_method="HmacSHA256")
    pairs = {"access_key_id": BOSS[0], "action": action, "time_stamp": now(),
             "params": json.dumps(params, separators=(",", ":"))}
    query, signature = signed("POST", "/boss2/", pairs, BOSS[1])
    if flip:
        signature = ("B" if signature[0] != "B" else "C") + signature[1:]
    return call(port, "POST", "/boss2/", query + "&signature=" + encode(signature), tls)


def iaas(port, key, action, params):
    pairs = dict(params, access_key_id=key[0], action=action, time_stamp=now(), version=1,
                 signature_version=1, signature_method="HmacSHA256")
    query, signature = signed("GET", "/iaas/", pairs, key[1])
    return call(port, "GET", "/iaas/", query + "&signature=" + encode(signature))


# How long the simulator may take to print its port, and to end on a signal.
START_LIMIT = 30
STOP_LIMIT = 20


def start(program, *args):
    process = subprocess.Popen([program, *args], stdout=subprocess.PIPE, text=True)
    ready, _, _ = select.select([process.stdout], [], [], START_LIMIT)
    if not ready:
        process.kill()
        process.wait(5)
        check(False, "the simulator printed no port within %d s" % START_LIMIT)
    port = int(process.stdout.readline())
    return process, port


def stop(process, how):
    process.send_signal(how)
    try:
        code = process.wait(timeout=STOP_LIMIT)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait(5)
        check(False, "the simulator did not end within %d s of signal %d" % (STOP_LIMIT, how))
    rest = process.stdout.read()
    check(code == 0, "exit status %d after signal %d" % (code, how))
    check("stopping" in rest, "no stop message")


def check(condition, what):
    if not condition:
        print("FAILED: " + what)
        sys.exit(1)


def main(program):
    process, port = start(program)
    try:
        status, reply = boss2(port, "DescribeZones", {"status": ["active"]})
        check(status == 200 and reply["ret_code"] == 0, "signed request refused: %s" % reply)
        zones = [z["zone_id"] for z in reply["zone_set"]]
        check(zones == ["pek3a", "sh1a"], "zones %s" % zones)

        status, reply = boss2(port, "DescribeZones", {"status": ["active"]}, flip=True)
        check(reply == {"message": "AuthFailure, signature not matched", "ret_code": 1200},
              "changed signature answered %s" % reply)

        status, reply = iaas(port, OPS, "DescribeInstances",
                             {"zone": "pek3a", "status.1": "running", "limit": 100})
        owners = {i["owner"] for i in reply["instance_set"]}
        check(reply["ret_code"] == 0 and owners == {"usr-ops00001"}, "ops sees %s" % owners)
    finally:
        stop(process, signal.SIGTERM)

    with tempfile.TemporaryDirectory() as folder:
        port_file = os.path.join(folder, "port")
        process, port = start(program, "--listen", "127.0.0.1:0", "--port-file", port_file,
                              "--generate", "instances=300,zones=1", "--seed", "5",
                              "--job-seconds", "0", "--log-requests")
        try:
            with open(port_file) as f:
                check(int(f.read()) == port, "port file and stdout differ")
            status, reply = boss2(port, "DescribeInstances", {"zone": "pek3a", "limit": 100})
            check(reply["total_count"] == 300, "generated %s" % reply.get("total_count"))
        finally:
            stop(process, signal.SIGINT)

        cert, key = os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                        "ec_paramgen_curve:P-256", "-nodes", "-keyout", key, "-out", cert,
                        "-subj", "/CN=127.0.0.1", "-days", "1"], check=True, capture_output=True,
                        timeout=60)
        process, port = start(program, "--tls-cert", cert, "--tls-key", key)
        try:
            status, reply = boss2(port, "DescribeZones", {}, tls=True)
            check(reply["ret_code"] == 0, "over TLS: %s" % reply)
        finally:
            stop(process, signal.SIGTERM)

    code = subprocess.run([program, "--no-such-option"], capture_output=True,
                          timeout=STOP_LIMIT).returncode
    check(code == 2, "a bad option gave %d" % code)
    print("qingcloud-sim program checks passed")


if __name__ == "__main__":
    main(sys.argv[1])
