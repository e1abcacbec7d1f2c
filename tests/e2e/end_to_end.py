#!/usr/bin/env python3
"""End-to-end run of the Vandreth Client under Wine against the stand-in service.

The client is started and worked from outside by the window driver (a Windows program under
Wine, fed commands on its standard input); what is checked is what the window shows, what
reaches the stand-in service, what the stand-in xdg-open is asked to open and the bytes of the
state file. Prints PASS, FAIL or SKIP per step and ends non-zero when a step did not pass.
"""

import argparse
import json
import os
import queue
import re
import shutil
import struct
import subprocess
import sys
import threading
import time
import urllib.request
import zlib
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
STANDIN = REPO / "tools" / "standin" / "vandreth_standin.py"

# Only stops a hang; nothing is expected to take this long.
WAIT_LIMIT = 45

# The control ids of app/WindowIds.h.
URL, LINK_CODE, GENERATE, PAIRING, REFRESH, UNLINK = 1001, 1002, 1003, 1004, 1005, 1006
PROJECTS, OPEN_PROJECT, NAME, DESCRIPTION, EMOJI, ACCENT, TAGS = 1007, 1008, 1009, 1010, 1011, 1012, 1013
CORE, PRESET, PUBLIC, MAINTENANCE, CREATE = 1014, 1015, 1016, 1017, 1018
STATUS, ACCOUNT, PLAN, LIMIT = 1019, 1020, 1021, 1022

FIRE = "\U0001F525"
SEEDED_CORES = ["Paper 1.21", "Vanilla 1.20", "Fabric 1.20 (modded)"]
SEEDED_LINES = ["Arena  [arena-1]  active", "Lumen Vale  [lumen-vale]  sleeping"]
CREATED_LINE = "Sky Forge  [sky-forge]  provisioning"
CREATE_BODY = ("display_name=Sky+Forge&description=&emoji_badge=%F0%9F%94%A5&accent_color=%23ff8f1f"
               "&tags=pvp%2C+mods&preset_name=hardcore&core_key=core-2&public_listing=true")


class Failure(Exception):
    pass


def windows_path(path):
    # Wine maps drive Z: to the Linux root.
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def wait_for(what, probe, limit=WAIT_LIMIT):
    """Polls probe() -> (done, seen) until done; returns what was seen."""
    deadline = time.monotonic() + limit
    while True:
        done, seen = probe()
        if done:
            return seen
        if time.monotonic() > deadline:
            raise Failure("%s: still %r after %d s" % (what, seen, limit))
        time.sleep(0.1)


def expect_all(checks):
    """checks: (what, actual, expected) triples; fails with every mismatch at once."""
    wrong = ["%s: got %r, expected %r" % (what, actual, expected)
             for what, actual, expected in checks if actual != expected]
    if wrong:
        raise Failure("; ".join(wrong))


class StandIn:
    def __init__(self, log_path):
        self.log = open(log_path, "wb")
        self.process = subprocess.Popen([sys.executable, str(STANDIN), "--verbose"],
                                        stdout=subprocess.PIPE, stderr=self.log)
        first = self.process.stdout.readline().decode().split()
        if len(first) != 2 or first[0] != "listening":
            raise Failure("the stand-in service did not start")
        self.origin = first[1]
        # Only ever 127.0.0.1, never through a proxy.
        self.opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))

    def control(self, path, args=None):
        data = None if args is None else json.dumps(args).encode()
        with self.opener.open(self.origin + "/_control/" + path, data=data, timeout=30) as answer:
            return json.load(answer)

    def requests(self, path=None):
        found = self.control("requests")["requests"]
        return [r for r in found if path is None or r["path"] == path]

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=30)
        self.log.close()


class Driver:
    def __init__(self, emulator, driver_exe, env, cwd, log_path):
        self.log = open(log_path, "wb")
        self.process = subprocess.Popen([emulator, driver_exe], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=self.log, env=env, cwd=cwd)
        self.replies = queue.Queue()
        # Wine's own background processes may keep the pipe open after the driver ends, so the
        # reader is a daemon thread and a missing reply times out instead of blocking.
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            self.replies.put(line)
        self.replies.put(None)

    def ask(self, command, *args):
        words = [command] + [json.dumps(a) if isinstance(a, str) else str(a) for a in args]
        try:
            self.process.stdin.write((" ".join(words) + "\n").encode())
            self.process.stdin.flush()
        except OSError:
            raise Failure("the window driver is not running (command %r)" % command)
        try:
            line = self.replies.get(timeout=WAIT_LIMIT + 30)
        except queue.Empty:
            raise Failure("the window driver did not answer %r" % command)
        if line is None:
            raise Failure("the window driver ended (command %r)" % command)
        return json.loads(line.decode("utf-8", "replace"))

    def call(self, command, *args):
        reply = self.ask(command, *args)
        if not reply["ok"]:
            raise Failure("%s %s: %s" % (command, " ".join(map(str, args)), reply["error"]))
        return reply["value"]

    def text(self, control):
        return self.call("text", control)

    def enabled(self, control):
        return self.call("enabled", control)

    def wait_text(self, control, expected):
        return wait_for("control %d showing %r" % (control, expected),
                        lambda: (lambda seen: (seen == expected, seen))(self.text(control)))

    def quit(self):
        try:
            self.ask("quit")
        except Failure:
            pass
        try:
            self.process.stdin.close()
        except OSError:
            pass
        self.process.wait(timeout=60)
        self.log.close()


def bmp_to_png(bmp_path, png_path):
    data = Path(bmp_path).read_bytes()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):  # BMP rows run bottom-up, BGR
        row = data[offset + y * stride: offset + y * stride + width * 3]
        rgb = bytearray(row)
        rgb[0::3], rgb[2::3] = row[2::3], row[0::3]
        rows.append(b"\0" + bytes(rgb))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    Path(png_path).write_bytes(b"\x89PNG\r\n\x1a\n"
                               + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                               + chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))


def state_bytes(origin, device_id, token=None):
    lines = ["{"]
    if token:
        lines.append('  "access_token": "%s",' % token)
    lines += ['  "device_id": "%s",' % device_id, '  "origin": "%s"' % origin, "}"]
    return "\r\n".join(lines).encode()


def header(request, name):
    values = [v for k, v in request["headers"] if k.lower() == name.lower()]
    return values[0] if len(values) == 1 else (values or None)


class Scenario:
    def __init__(self, args):
        self.client = windows_path(args.client)
        self.work = Path(args.build_dir) / "e2e-run"
        shutil.rmtree(self.work, ignore_errors=True)
        self.appdata = self.work / "appdata"
        self.state_file = self.appdata / "Vandreth" / "pc-client-state.json"
        self.opened_log = self.work / "opened.txt"
        self.screenshot = self.work / "projects-loaded.png"
        self.bin_dir = self.work / "bin"
        self.bin_dir.mkdir(parents=True)
        self.state_file.parent.mkdir(parents=True)

        # Wine's browser launcher runs xdg-open from the Linux PATH; this one only records.
        xdg_open = self.bin_dir / "xdg-open"
        xdg_open.write_text("#!/bin/sh\nprintf '%%s\\n' \"$*\" >> '%s'\n" % self.opened_log)
        xdg_open.chmod(0o755)

        self.service = StandIn(self.work / "standin.log")
        self.driver = None  # started by start_driver, once the service is up
        self.origin = self.service.origin
        self.device_id = None
        self.token = None
        self.results = {}

    def start_driver(self, args):
        env = {k: v for k, v in os.environ.items() if "proxy" not in k.lower()}
        env["PATH"] = "%s:%s" % (self.bin_dir, env.get("PATH", "/usr/bin:/bin"))
        env["VANDRETH_BUILD_DIR"] = args.build_dir
        self.driver = Driver(args.emulator, args.driver, env, self.work, self.work / "driver.log")

    def opened(self):
        return self.opened_log.read_text().splitlines() if self.opened_log.exists() else []

    def wait_opened(self, count):
        return wait_for("%d page(s) handed to xdg-open" % count,
                        lambda: (lambda seen: (len(seen) >= count, seen))(self.opened()))

    def state(self):
        return self.state_file.read_bytes() if self.state_file.exists() else None

    def launch(self):
        self.driver.call("launch", self.client, windows_path(self.appdata))
        self.driver.call("wait-window", WAIT_LIMIT * 1000)

    def run(self, number, title, step, needs=()):
        missing = [n for n in needs if self.results.get(n) != "PASS"]
        if missing:
            self.results[number] = "SKIP"
            print("SKIP step %d: %s (needs step %s)" % (number, title, ", ".join(map(str, missing))), flush=True)
            return
        try:
            step()
            self.results[number] = "PASS"
            print("PASS step %d: %s" % (number, title), flush=True)
        except Exception as failure:  # a broken step must not keep the later ones from running
            self.results[number] = "FAIL"
            reason = failure if isinstance(failure, Failure) else repr(failure)
            print("FAIL step %d: %s\n     %s" % (number, title, reason), flush=True)

    # ---- the steps ------------------------------------------------------------------------

    def fresh_start(self):
        self.state_file.write_text(json.dumps({"origin": self.origin}))
        self.launch()
        d = self.driver
        d.wait_text(STATUS, "Ready to link your Vandreth account.")
        expect_all([
            ("title", d.text(0), "Vandreth Client"),
            ("URL box", d.text(URL), self.origin),
            ("link code box", d.text(LINK_CODE), ""),
            ("account lines", [d.text(ACCOUNT), d.text(PLAN), d.text(LIMIT)], ["Not linked yet", "Plan: -", "Limit: -"]),
            ("enabled Generate, Pairing, Refresh, Unlink, Open Project, Create",
             [d.enabled(c) for c in (GENERATE, PAIRING, REFRESH, UNLINK, OPEN_PROJECT, CREATE)],
             [True, True, False, False, False, False]),
            ("project list", d.call("list", PROJECTS), {"items": [], "selected": -1}),
            ("core list", d.call("combo", CORE), {"items": ["No cores available"], "selected": 0}),
            ("preset list", d.call("combo", PRESET), {"items": ["balanced", "casual", "hardcore"], "selected": 0}),
            ("form texts", [d.text(c) for c in (NAME, DESCRIPTION, EMOJI, ACCENT, TAGS)], ["", "", FIRE, "#ff8f1f", ""]),
            ("check boxes", [d.call("check", PUBLIC), d.call("check", MAINTENANCE)], [1, 0]),
            ("requests sent", self.service.requests(), []),
        ])

    def link(self):
        d, service = self.driver, self.service
        # Held polls keep each status on screen until the test has read it.
        service.control("hold", {"operation": "link_poll"})
        d.call("click", GENERATE)
        code = wait_for("a link code in its box", lambda: (lambda seen: (seen != "", seen))(d.text(LINK_CODE)))
        status = d.text(STATUS)
        if not (status.startswith("Code ready. Approve it at ") and status.endswith("/link/pc.")):
            raise Failure("status after the link code: %r" % status)

        starts = service.requests("/api/pc/link/start")
        if len(starts) != 1:
            raise Failure("expected one link-code request, got %d" % len(starts))
        start = starts[0]
        match = re.fullmatch(r"device_id=(vdwin-[0-9a-f]+)", start["body"])
        if not match:
            raise Failure("link-code request body: %r" % start["body"])
        self.device_id = match.group(1)
        expect_all([
            ("link-code request", [start["method"], start["query"]], ["POST", ""]),
            ("its headers", [header(start, h) for h in ("User-Agent", "Accept", "Content-Type", "Authorization")],
             ["Vandreth-WindowsClient/1.0", "application/json", "application/x-www-form-urlencoded", None]),
            ("code shown", code, list(service.control("codes")["codes"])[-1]),
            ("state file after the link code", self.state(), state_bytes(self.origin, self.device_id)),
        ])

        d.call("click", PAIRING)
        approve_url = "%s/link/pc?code=%s" % (self.origin, code)
        expect_all([("pages opened", self.wait_opened(1), [approve_url])])

        poll = wait_for("a link poll", lambda: (lambda seen: (bool(seen), seen))(service.requests("/api/pc/link/poll")))
        service.control("release", {"operation": "link_poll"})
        d.wait_text(STATUS, "Waiting for you to approve the code in your browser.")
        expect_all([("poll request", [poll[0]["method"], poll[0]["query"], poll[0]["body"]],
                     ["GET", "code=%s&device_id=%s" % (code, self.device_id), ""])])

        self.token = service.control("approve", {"code": code})["access_token"]
        d.wait_text(STATUS, "Loaded 2 Vandreth project(s).")
        expect_all([
            ("account lines", [d.text(ACCOUNT), d.text(PLAN), d.text(LIMIT)],
             ["Signed in as Ada Marlowe", "Plan: Studio", "Limit: 5 RERIs"]),
            ("core list", d.call("combo", CORE), {"items": SEEDED_CORES, "selected": 0}),
            ("project list", d.call("list", PROJECTS), {"items": SEEDED_LINES, "selected": 0}),
            ("enabled Refresh, Unlink, Open Project, Create",
             [d.enabled(c) for c in (REFRESH, UNLINK, OPEN_PROJECT, CREATE)], [True] * 4),
            ("link code box after linking", d.text(LINK_CODE), code),
            ("account requests (method, bearer, body)",
             [[r["method"], header(r, "Authorization"), r["body"]]
              for r in service.requests("/api/pc/me") + service.requests("/api/pc/instances")],
             [["GET", "Bearer " + self.token, ""]] * 2),
            ("state file after linking", self.state(), state_bytes(self.origin, self.device_id, self.token)),
        ])
        bmp = self.work / "projects-loaded.bmp"
        d.call("screenshot", windows_path(bmp))
        bmp_to_png(bmp, self.screenshot)
        bmp.unlink()

    def create(self):
        d, service = self.driver, self.service
        d.call("set-text", NAME, "  Sky Forge ")
        d.call("set-text", DESCRIPTION, "")
        d.call("set-text", EMOJI, "")
        d.call("set-text", TAGS, "pvp, mods")
        d.call("select-combo", PRESET, 2)
        d.call("select-combo", CORE, 0)
        d.call("click", PUBLIC)
        unchecked = d.call("check", PUBLIC)
        d.call("click", PUBLIC)
        expect_all([("public listing box after two clicks", [unchecked, d.call("check", PUBLIC)], [0, 1]),
                    ("maintenance box", d.call("check", MAINTENANCE), 0)])

        d.call("click", CREATE)
        d.wait_text(STATUS, "Loaded 3 Vandreth project(s).")
        creates = service.requests("/api/pc/instances/create")
        if len(creates) != 1:
            raise Failure("expected one create request, got %d" % len(creates))
        create = creates[0]
        expect_all([
            ("create request body", create["body"], CREATE_BODY),
            ("its method and headers", [create["method"], header(create, "Authorization"), header(create, "Content-Type")],
             ["POST", "Bearer " + self.token, "application/x-www-form-urlencoded"]),
            ("project list reloaded after it", len(service.requests("/api/pc/instances")), 2),
            ("form texts after creating", [d.text(c) for c in (NAME, DESCRIPTION, EMOJI, ACCENT, TAGS)],
             ["", "", FIRE, "#ff8f1f", ""]),
            ("check boxes after creating", [d.call("check", PUBLIC), d.call("check", MAINTENANCE)], [1, 0]),
            ("selections kept (preset, core)", [d.call("combo", PRESET)["selected"], d.call("combo", CORE)["selected"]],
             [2, 0]),
            ("project list", d.call("list", PROJECTS), {"items": SEEDED_LINES + [CREATED_LINE], "selected": 0}),
        ])

    def open_project(self):
        d = self.driver
        d.call("select-list", PROJECTS, 2)
        d.call("click", OPEN_PROJECT)
        expect_all([("page opened last", self.wait_opened(2)[1:], ["%s/reris/sky-forge/manage" % self.origin])])

    def close(self):
        expect_all([("exit code", self.driver.call("close", WAIT_LIMIT * 1000), 0),
                    ("state file", self.state(), state_bytes(self.origin, self.device_id, self.token))])

    def restart(self):
        d, service = self.driver, self.service
        service.control("hold", {"operation": "me"})
        self.launch()
        d.wait_text(STATUS, "Checking linked Vandreth session...")
        service.control("release", {"operation": "me"})
        d.wait_text(STATUS, "Loaded 3 Vandreth project(s).")
        expect_all([
            ("account line", d.text(ACCOUNT), "Signed in as Ada Marlowe"),
            ("project list", d.call("list", PROJECTS)["items"], SEEDED_LINES + [CREATED_LINE]),
            ("link-code requests so far", len(service.requests("/api/pc/link/start")), 1),
            ("bearer of the account check", header(service.requests("/api/pc/me")[-1], "Authorization"),
             "Bearer " + self.token),
        ])

        service.control("fail", {"operation": "instances", "status": 503,
                                 "message": "Projects are resting, try again soon."})
        d.call("click", REFRESH)
        d.wait_text(STATUS, "Projects are resting, try again soon.")
        expect_all([("project list after a failed refresh", d.call("list", PROJECTS)["items"],
                     SEEDED_LINES + [CREATED_LINE])])

        requests_before = len(service.requests())
        d.call("click", UNLINK)
        d.wait_text(STATUS, "Vandreth desktop client unlinked.")
        unlinked_state = state_bytes(self.origin, self.device_id)
        expect_all([
            ("account lines", [d.text(ACCOUNT), d.text(PLAN), d.text(LIMIT)], ["Not linked yet", "Plan: -", "Limit: -"]),
            ("project list", d.call("list", PROJECTS), {"items": [], "selected": -1}),
            ("core list", d.call("combo", CORE), {"items": ["No cores available"], "selected": 0}),
            ("enabled Generate, Refresh, Unlink, Open Project, Create",
             [d.enabled(c) for c in (GENERATE, REFRESH, UNLINK, OPEN_PROJECT, CREATE)],
             [True, False, False, False, False]),
            ("requests sent by Unlink", len(service.requests()) - requests_before, 0),
            ("state file after Unlink", self.state(), unlinked_state),
            ("exit code", d.call("close", WAIT_LIMIT * 1000), 0),
            ("state file after closing", self.state(), unlinked_state),
        ])

    def expired_code(self):
        d, service = self.driver, self.service
        self.launch()
        d.wait_text(STATUS, "Ready to link your Vandreth account.")
        first_code = list(service.control("codes")["codes"])[0]
        d.call("click", GENERATE)
        code = wait_for("a new link code", lambda: (lambda seen: (seen not in ("", first_code), seen))(d.text(LINK_CODE)))
        service.control("expire", {"code": code})
        d.wait_text(STATUS, "That link code has expired. Generate a new one.")
        d.call("click", PAIRING)
        expect_all([
            ("device id of the new code", service.requests("/api/pc/link/start")[-1]["body"], "device_id=" + self.device_id),
            ("link code box", d.text(LINK_CODE), ""),
            ("page opened without a code", self.wait_opened(3)[2:], [self.origin + "/link/pc"]),
            ("exit code", d.call("close", WAIT_LIMIT * 1000), 0),
        ])

    def finish(self):
        try:
            if self.driver is not None:
                self.driver.quit()
        finally:
            self.service.stop()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--client", required=True, help="VandrethClient.exe")
    parser.add_argument("--driver", required=True, help="window_driver.exe")
    parser.add_argument("--emulator", required=True, help="the script that runs a Windows program under Wine")
    parser.add_argument("--build-dir", required=True, help="the build tree (its Wine prefix and e2e-run folder)")
    args = parser.parse_args()
    for name in ("client", "driver", "emulator", "build_dir"):
        setattr(args, name, str(Path(getattr(args, name)).resolve()))

    scenario = Scenario(args)
    try:
        scenario.start_driver(args)
        scenario.run(1, "fresh start, not linked", scenario.fresh_start)
        scenario.run(2, "link with a code approved on the service", scenario.link, needs=[1])
        scenario.run(3, "create a RERI from the form", scenario.create, needs=[2])
        scenario.run(4, "open the selected project's page", scenario.open_project, needs=[3])
        scenario.run(5, "close and keep the link in the state file", scenario.close, needs=[2])
        scenario.run(6, "start linked, refresh failure, unlink", scenario.restart, needs=[5])
        scenario.run(7, "an expired link code is dropped", scenario.expired_code, needs=[6])
    finally:
        scenario.finish()
    print("screenshot: %s" % scenario.screenshot if scenario.screenshot.exists() else "no screenshot taken")
    passed = all(result == "PASS" for result in scenario.results.values())
    print("end-to-end: %s" % ("PASS" if passed else "FAIL"))
    return 0 if passed else 1


if __name__ == "__main__":
    sys.exit(main())
