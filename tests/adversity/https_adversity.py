#!/usr/bin/env python3
"""The client over HTTPS: runs the Windows test program adversity_https_tests under Wine
against loopback TLS servers.

Makes a test authority and four server certificates (tools/tls/tls_service.py), starts a TLS
server with each and a plain-HTTP control server, adds the authority to the Root store of this
build tree's Wine prefix for the length of the run (and removes it afterwards), and runs the
test program with the servers' ports in VANDRETH_TLS_PORTS. Ends with the program's exit code.
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools" / "tls"))
import tls_service  # noqa: E402

SERVERS = ("trusted", "self_signed", "wrong_host", "expired")
RUN_LIMIT = 600


def windows_path(path):
    # Wine maps drive Z: to the Linux root.
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def run_windows(emulator, program, *args, env, log):
    """Runs a Windows program; its output goes to a file, which Wine's own background
    processes cannot hold open the way they can a pipe."""
    with open(log, "wb") as out:
        finished = subprocess.run([emulator, program, *args], env=env, stdin=subprocess.DEVNULL, stdout=out,
                                  stderr=subprocess.STDOUT, timeout=RUN_LIMIT)
    sys.stdout.write(Path(log).read_text(errors="replace"))
    sys.stdout.flush()
    return finished.returncode


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--tests", required=True, help="adversity_https_tests.exe")
    parser.add_argument("--trust", required=True, help="trust_test_ca.exe")
    parser.add_argument("--emulator", required=True, help="tools/wine-emulator.sh")
    parser.add_argument("--build-dir", required=True)
    options = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="vandreth-tls-") as folder:
        pki = tls_service.make_pki(Path(folder) / "pki")
        servers = {name: tls_service.TlsServer(*pki[name]) for name in SERVERS}
        control = tls_service.ControlServer(servers)
        ports = {name: server.port for name, server in servers.items()}
        ports["control"] = control.port

        env = dict(os.environ, VANDRETH_BUILD_DIR=options.build_dir, VANDRETH_TLS_PORTS=json.dumps(ports))
        authority = windows_path(pki["authority_der"])
        log = Path(folder) / "run.log"
        if run_windows(options.emulator, options.trust, "add", authority, env=env, log=log) != 0:
            print("FAIL: the test authority could not be added to the Root store")
            return 1
        try:
            result = run_windows(options.emulator, options.tests, env=env, log=log)
        finally:
            run_windows(options.emulator, options.trust, "remove", authority, env=env, log=log)

        refused = {name: servers[name].seen() for name in SERVERS if name != "trusted"}
        for name, seen in refused.items():
            if seen["requests"]:
                print("FAIL: the %s server saw requests: %r" % (name, seen["requests"]))
                result = result or 1
        for server in (*servers.values(), control):
            server.shutdown()
        return result


if __name__ == "__main__":
    sys.exit(main())
