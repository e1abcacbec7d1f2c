"""A test certificate authority and loopback TLS servers for tests of the client over HTTPS.

make_pki() makes, with the openssl command line, a test authority and four server
certificates: one for DNS name localhost signed by the authority (trusted once the authority is
in the Root store), one self-signed for localhost, one signed by the authority for another host
name, and one signed by the authority for localhost whose validity ended years ago.

TlsServer serves a small stand-in of the service's API on 127.0.0.1 with one of them (and
GET /redirect?to=ADDRESS, a 302 to that address) and records
every connection that it accepts and every request that it reads. (Wine's TLS stack completes
the handshake before it judges the certificate, so a refused certificate shows on the server as
a connection that ends without a request.) ControlServer answers, in plain
HTTP on 127.0.0.1, GET /seen with what each TLS server has seen, as JSON.
"""

import http.server
import json
import ssl
import subprocess
import threading
import urllib.parse
from pathlib import Path

CODE = "TLS-0001"
TOKEN = "tok-over-tls"


def _openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def make_pki(folder):
    """Makes the authority and the certificates in folder; returns their paths by name."""
    folder = Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
             "-subj", "/CN=Vandreth Test Authority", "-addext", "basicConstraints=critical,CA:TRUE",
             "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=folder)
    _openssl("x509", "-in", "ca.pem", "-outform", "DER", "-out", "ca.der", cwd=folder)

    def server_extensions(name, host):
        path = folder / (name + ".ext")
        path.write_text("subjectAltName=DNS:%s\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n" % host)
        return path.name

    def signed(name, host):
        _openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key", "-out", name + ".csr",
                 "-subj", "/CN=" + host, cwd=folder)
        _openssl("x509", "-req", "-in", name + ".csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
                 "-out", name + ".pem", "-days", "2", "-extfile", server_extensions(name, host), cwd=folder)

    signed("trusted", "localhost")
    signed("wrong_host", "elsewhere.invalid")
    _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "self_signed.key", "-out", "self_signed.pem",
             "-days", "2", "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost", cwd=folder)

    # A certificate whose validity lies wholly in the past needs explicit dates: "openssl ca" takes them.
    (folder / "index.txt").write_text("")
    (folder / "ca.cnf").write_text(
        "[ca]\ndefault_ca = test\n[test]\ndir = .\ndatabase = index.txt\nnew_certs_dir = .\n"
        "serial = ca.srl\ndefault_md = sha256\npolicy = anything\nunique_subject = no\n"
        "[anything]\ncommonName = supplied\n")
    _openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "expired.key", "-out", "expired.csr",
             "-subj", "/CN=localhost", cwd=folder)
    _openssl("ca", "-batch", "-config", "ca.cnf", "-cert", "ca.pem", "-keyfile", "ca.key", "-in", "expired.csr",
             "-out", "expired.pem", "-startdate", "20200101000000Z", "-enddate", "20200201000000Z", "-notext",
             "-extfile", server_extensions("expired", "localhost"), cwd=folder)

    paths = {"authority_der": folder / "ca.der"}
    for name in ("trusted", "self_signed", "wrong_host", "expired"):
        paths[name] = (folder / (name + ".pem"), folder / (name + ".key"))
    return paths


class _ServiceHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def _answer(self, status, value, location=None):
        body = json.dumps(value).encode()
        self.send_response(status)
        if location is not None:
            self.send_header("Location", location)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = True

    def _serve(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length).decode("utf-8", "replace")
        self.server.record(self.command, self.path, self.headers.get("Authorization"), body)
        path = self.path.split("?", 1)[0]
        port = self.server.server_address[1]
        linked = self.headers.get("Authorization") == "Bearer " + TOKEN
        if self.command == "POST" and path == "/api/pc/link/start":
            self._answer(200, {"code": CODE, "approve_url": "https://localhost:%d/link/pc?code=%s" % (port, CODE)})
        elif self.command == "GET" and path == "/api/pc/link/poll":
            self._answer(200, {"access_token": TOKEN, "message": "Linked over TLS."})
        elif self.command == "GET" and path == "/redirect":
            query = urllib.parse.parse_qs(urllib.parse.urlsplit(self.path).query)
            self._answer(302, {"message": "moved"}, query.get("to", [""])[0])
        elif not linked:
            self._answer(401, {"message": "This desktop client is not linked."})
        elif self.command == "GET" and path == "/api/pc/me":
            user = {"display_name": "Tess Layer", "plan_name": "Pro", "reri_limit_label": "3 RERIs"}
            self._answer(200, {"user": user, "available_cores": [{"key": "paper", "label": "Paper 1.21"}]})
        elif self.command == "GET" and path == "/api/pc/instances":
            self._answer(200, {"instances": [{"display_name": "Secure Arena", "slug": "secure-arena",
                                              "status": "active"}]})
        else:
            self._answer(404, {"message": "no route"})

    do_GET = _serve
    do_POST = _serve


class TlsServer(http.server.ThreadingHTTPServer):
    """The stand-in service over TLS with the given certificate and key, on 127.0.0.1."""

    daemon_threads = True

    def __init__(self, certificate, key):
        super().__init__(("127.0.0.1", 0), _ServiceHandler)
        self.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self.context.load_cert_chain(str(certificate), str(key))
        self.lock = threading.Lock()
        self.requests = []
        self.connections = 0
        threading.Thread(target=self.serve_forever, daemon=True).start()

    @property
    def port(self):
        return self.server_address[1]

    def record(self, method, path, authorization, body):
        with self.lock:
            self.requests.append({"method": method, "path": path, "authorization": authorization, "body": body})

    def finish_request(self, request, client_address):
        # The handshake runs on the connection's own thread: a client that gives up on it holds
        # up no other connection.
        with self.lock:
            self.connections += 1
        try:
            secure = self.context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError):
            return
        super().finish_request(secure, client_address)

    def seen(self):
        with self.lock:
            return {"requests": list(self.requests), "connections": self.connections}


class ControlServer(http.server.ThreadingHTTPServer):
    """Plain HTTP on 127.0.0.1: GET /seen gives {name: what that TLS server has seen}."""

    daemon_threads = True

    def __init__(self, servers):
        outer = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def do_GET(self):
                body = json.dumps({name: server.seen() for name, server in outer.servers.items()}).encode()
                self.send_response(200 if self.path == "/seen" else 404)
                self.send_header("Content-Type", "application/json")
                self.send_header("Content-Length", str(len(body)))
                self.send_header("Connection", "close")
                self.end_headers()
                self.wfile.write(body)
                self.close_connection = True

        super().__init__(("127.0.0.1", 0), Handler)
        self.servers = servers
        threading.Thread(target=self.serve_forever, daemon=True).start()

    @property
    def port(self):
        return self.server_address[1]
