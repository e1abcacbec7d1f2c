#!/usr/bin/env python3
"""A stand-in Vandreth service for running and testing the desktop client locally.

Serves the desktop API (link codes, polling, account, projects, create), a plain pairing page
with an Approve button, and a JSON control API under /_control for tests:

  POST /_control/approve   {"code": "..."}            approve a code (no code: the newest one)
  POST /_control/expire    {"code": "..."}            make a code answer 410 from now on
  POST /_control/fail      {"operation": "me", "status": 503, "message": "..."}
                                                       the next request of that operation fails
  POST /_control/hold      {"operation": "me"}        requests of that operation wait...
  POST /_control/release   {"operation": "me"}        ...until released
  GET  /_control/requests                             every request so far (control ones excepted)
  GET  /_control/codes                                the link codes and their states

Operations: link_start, link_poll, me, instances, create. Recorded request bodies are given as
text with one character per byte (latin-1), so the exact bytes can be compared.

Listens on 127.0.0.1 only, and prints "listening http://127.0.0.1:PORT" as its first line.
Standard library only.
"""

import argparse
import html
import json
import re
import secrets
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qsl, urlsplit

API_ROUTES = {
    ("POST", "/api/pc/link/start"): "link_start",
    ("GET", "/api/pc/link/poll"): "link_poll",
    ("GET", "/api/pc/me"): "me",
    ("GET", "/api/pc/instances"): "instances",
    ("POST", "/api/pc/instances/create"): "create",
}

# How long a held request waits for its release at most, so a forgotten hold cannot wedge a test.
HOLD_LIMIT_SECONDS = 120


def seeded_account():
    # The first core is deliberately not "core-1": a client that sends an index or a label instead
    # of the selected core's key shows up at once.
    return {
        "user": {"display_name": "Ada Marlowe", "plan_name": "Studio", "reri_limit_label": "5 RERIs"},
        "cores": [
            {"key": "core-2", "label": "Paper 1.21"},
            {"key": "core-1", "label": "Vanilla 1.20"},
            {"key": "core-7", "label": "Fabric 1.20 (modded)"},
        ],
        "projects": [
            {"slug": "arena-1", "display_name": "Arena", "core_key": "core-1", "status": "active"},
            {"slug": "lumen-vale", "display_name": "Lumen Vale", "core_key": "core-2", "status": "sleeping"},
        ],
    }


class Service:
    def __init__(self, code_lifetime):
        self.lock = threading.Lock()
        self.origin = ""
        self.code_lifetime = code_lifetime
        self.account = seeded_account()
        self.codes = {}  # code -> {"device_id", "expires", "state": pending|approved|expired|used, "token"}
        self.newest_code = None
        self.tokens = set()
        self.failures = {}  # operation -> (status, message)
        self.holds = {}  # operation -> threading.Event, armed until a request takes it
        self.requests = []

    # ---- control ----------------------------------------------------------------------------

    def approve(self, code):
        with self.lock:
            code = code or self.newest_code
            entry = self.codes.get(code)
            if entry is None or entry["state"] != "pending":
                return 404, {"message": "No pending link code %r." % code}
            entry["state"] = "approved"
            entry["token"] = "vdt_" + secrets.token_hex(16)
            return 200, {"code": code, "access_token": entry["token"]}

    def expire(self, code):
        with self.lock:
            code = code or self.newest_code
            if code not in self.codes:
                return 404, {"message": "No link code %r." % code}
            self.codes[code]["state"] = "expired"
            return 200, {"code": code}

    def control(self, method, path, body):
        try:
            args = json.loads(body or b"{}")
        except ValueError:
            return 400, {"message": "The control body must be JSON."}
        operation = args.get("operation", "")
        if method == "GET" and path == "/_control/requests":
            with self.lock:
                return 200, {"requests": list(self.requests)}
        if method == "GET" and path == "/_control/codes":
            with self.lock:
                return 200, {"codes": {c: dict(e) for c, e in self.codes.items()}}
        if method == "POST" and path == "/_control/approve":
            return self.approve(args.get("code", ""))
        if method == "POST" and path == "/_control/expire":
            return self.expire(args.get("code", ""))
        if method == "POST" and operation not in API_ROUTES.values():
            return 400, {"message": "Unknown operation %r." % operation}
        if method == "POST" and path == "/_control/fail":
            with self.lock:
                self.failures[operation] = (int(args.get("status", 500)), args.get("message"))
            return 200, {}
        if method == "POST" and path == "/_control/hold":
            with self.lock:
                self.holds[operation] = threading.Event()
            return 200, {}
        if method == "POST" and path == "/_control/release":
            with self.lock:
                event = self.holds.pop(operation, None)
            if event is not None:
                event.set()
            return 200, {}
        return 404, {"message": "Unknown control call."}

    # ---- API --------------------------------------------------------------------------------

    def authorized(self, headers):
        value = headers.get("Authorization", "")
        return value.startswith("Bearer ") and value[len("Bearer "):] in self.tokens

    def project_json(self, project):
        core = next((c for c in self.account["cores"] if c["key"] == project["core_key"]), None)
        return {
            "core_label": core["label"] if core else project["core_key"],
            "display_name": project["display_name"],
            "manage_url": "%s/reris/%s/manage" % (self.origin, project["slug"]),
            "public_url": "%s/r/%s" % (self.origin, project["slug"]),
            "slug": project["slug"],
            "status": project["status"],
        }

    def api(self, operation, query, form, headers):
        """Answers one API request; called with the lock held."""
        if operation == "link_start":
            device_id = form.get("device_id", "").strip()
            if not device_id:
                return 400, {"message": "A device id is required to link a PC."}
            code = "%s-%s" % (secrets.token_hex(2).upper(), secrets.token_hex(2).upper())
            self.codes[code] = {"device_id": device_id, "expires": time.time() + self.code_lifetime,
                                "state": "pending", "token": ""}
            self.newest_code = code
            return 200, {"code": code, "approve_url": "%s/link/pc?code=%s" % (self.origin, code),
                         "expires_in": self.code_lifetime}

        if operation == "link_poll":
            entry = self.codes.get(query.get("code", ""))
            if entry is None or entry["state"] == "used" or entry["device_id"] != query.get("device_id"):
                return 404, {"message": "That link code is not known. Generate a new one."}
            if entry["state"] == "pending" and time.time() > entry["expires"]:
                entry["state"] = "expired"
            if entry["state"] == "expired":
                return 410, {"message": "That link code has expired. Generate a new one."}
            if entry["state"] == "pending":
                return 202, {"message": "Waiting for you to approve the code in your browser."}
            entry["state"] = "used"
            self.tokens.add(entry["token"])
            name = self.account["user"]["display_name"]
            return 200, {"access_token": entry["token"], "message": "This PC is now linked to %s." % name}

        if not self.authorized(headers):
            return 401, {"message": "This PC is not linked to a Vandreth account. Link it again."}

        if operation == "me":
            return 200, {"user": dict(self.account["user"]), "available_cores": list(self.account["cores"])}

        if operation == "instances":
            return 200, {"instances": [self.project_json(p) for p in self.account["projects"]]}

        name = form.get("display_name", "").strip()
        if not name:
            return 422, {"message": "Give your RERI a name."}
        core_key = form.get("core_key", self.account["cores"][0]["key"])
        if not any(c["key"] == core_key for c in self.account["cores"]):
            return 422, {"message": "Unknown core %r." % core_key}
        base = re.sub(r"[^a-z0-9]+", "-", name.lower()).strip("-") or "reri"
        slug, n = base, 2
        while any(p["slug"] == slug for p in self.account["projects"]):
            slug, n = "%s-%d" % (base, n), n + 1
        self.account["projects"].append({"slug": slug, "display_name": name, "core_key": core_key,
                                         "status": "provisioning"})
        return 200, {"message": "%s is being set up." % name, "slug": slug}

    # ---- pages ------------------------------------------------------------------------------

    def pairing_page(self, code, notice=""):
        entry = self.codes.get(code) if code else None
        if entry is None:
            body = ("<p>Enter the code that the Vandreth Client shows.</p>"
                    "<form method='get' action='/link/pc'><input name='code'> <button>Continue</button></form>")
        elif entry["state"] == "pending":
            body = ("<p>Link the PC <code>%s</code> with the code <strong>%s</strong>?</p>"
                    "<form method='post' action='/link/pc/approve'><input type='hidden' name='code' value='%s'>"
                    "<button>Approve</button></form>"
                    % (html.escape(entry["device_id"]), html.escape(code), html.escape(code, quote=True)))
        else:
            body = "<p>The code <strong>%s</strong> is %s.</p>" % (html.escape(code), entry["state"])
        notice_html = "<p><em>%s</em></p>" % html.escape(notice) if notice else ""
        return page("Link a PC", notice_html + body)

    def project_page(self, slug, manage):
        project = next((p for p in self.account["projects"] if p["slug"] == slug), None)
        if project is None:
            return None
        what = "Manage" if manage else "Visit"
        return page("%s %s" % (what, project["display_name"]),
                    "<p>%s on %s: %s</p>" % (html.escape(project["display_name"]), html.escape(project["core_key"]),
                                              html.escape(project["status"])))


def page(title, body):
    return ("<!doctype html><html><head><meta charset='utf-8'><title>%s - Vandreth</title></head>"
            "<body><h1>%s</h1>%s</body></html>" % (html.escape(title), html.escape(title), body)).encode()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "VandrethStandIn/1.0"
    service = None  # set by main()
    verbose = False

    def do_GET(self):
        self.handle_any()

    def do_POST(self):
        self.handle_any()

    def log_message(self, fmt, *args):
        if self.verbose:
            sys.stderr.write("%s\n" % (fmt % args))

    def send(self, status, content_type, body):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def send_json(self, status, value):
        self.send(status, "application/json", json.dumps(value).encode())

    def handle_any(self):
        service = self.service
        url = urlsplit(self.path)
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else b""

        if url.path.startswith("/_control/"):
            self.send_json(*service.control(self.command, url.path, body))
            return

        with service.lock:
            service.requests.append({
                "method": self.command, "path": url.path, "query": url.query,
                "headers": [[k, v] for k, v in self.headers.items()],
                "body": body.decode("latin-1"),
            })

        operation = API_ROUTES.get((self.command, url.path))
        if operation is not None:
            with service.lock:
                hold = service.holds.get(operation)
            if hold is not None:
                hold.wait(HOLD_LIMIT_SECONDS)
            with service.lock:
                failure = service.failures.pop(operation, None)
                if failure is not None:
                    status, message = failure
                    answer = (status, {"message": message} if message else {})
                else:
                    query = dict(parse_qsl(url.query, keep_blank_values=True))
                    form = dict(parse_qsl(body.decode("utf-8", "replace"), keep_blank_values=True))
                    answer = service.api(operation, query, form, self.headers)
            self.send_json(*answer)
            return

        if url.path.startswith("/api/"):
            self.send_json(404, {"error": "No such API operation."})
            return

        with service.lock:
            if self.command == "GET" and url.path == "/link/pc":
                code = dict(parse_qsl(url.query)).get("code", "").strip().upper()
                self.send(200, "text/html; charset=utf-8", service.pairing_page(code))
                return
            match = re.fullmatch(r"/(reris/([^/]+)/manage|r/([^/]+))", url.path)
            project = match and service.project_page(match.group(2) or match.group(3), bool(match.group(2)))
            if self.command == "GET" and project:
                self.send(200, "text/html; charset=utf-8", project)
                return
        if self.command == "POST" and url.path == "/link/pc/approve":
            code = dict(parse_qsl(body.decode("utf-8", "replace"))).get("code", "")
            status, answer = service.approve(code)
            notice = "Approved. The Vandreth Client picks the link up within a few seconds." if status == 200 \
                else answer["message"]
            with service.lock:
                self.send(200, "text/html; charset=utf-8", service.pairing_page(code, notice))
            return
        self.send(404, "text/html; charset=utf-8", page("Not found", ""))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--port", type=int, default=0, help="port on 127.0.0.1 (default: any free one)")
    parser.add_argument("--code-lifetime", type=int, default=600, help="seconds until a link code expires")
    parser.add_argument("--verbose", action="store_true", help="log every request on standard error")
    args = parser.parse_args()

    Handler.service = Service(args.code_lifetime)
    Handler.verbose = args.verbose
    server = ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.daemon_threads = True
    Handler.service.origin = "http://127.0.0.1:%d" % server.server_address[1]
    print("listening %s" % Handler.service.origin, flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()


if __name__ == "__main__":
    main()
