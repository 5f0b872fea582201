#!/usr/bin/env python3
"""A local HTTP and HTTPS service for the network tests and benchmarks, on 127.0.0.1.

Usage: test_service.py <scratch folder>

Makes in the folder, with openssl, a CA (ca.pem) and a certificate for 127.0.0.1 signed by it, and a
second CA that nobody trusts with a certificate of its own. Listens on three free ports: plain HTTP,
HTTPS with the trusted certificate and HTTPS with the untrusted one, and prints one line:
    http <port> https <port> untrusted <port> ca <path of ca.pem>
Then it answers commands on standard input, a line each, with a line; it ends when its input ends.
    answer <status> <hex body>   what the login service answers from now on (200 "statusCode=200")
    hold | release               the login service keeps its answers back until released
    last                         the last request to the login service:
                                 <method> <hex target> <hex header lines> <hex body> <signature check>
The signature check of a logout is "ok" or "bad", recomputed here from the password of the last
clientLogin and the sessionSecret of the last answer ("none" for a request without a signature).

Paths: /hello, /utf8, /latin1, /empty, /big (10 MiB of PATTERN), /stall (announces 10 MiB, sends
64 KiB, then waits), /silent (never answers), /endless (a body without end), /redirect (to /hello),
/redirect-loop, /headers, /xml (a small inbox as application/xml),
/echo (the request back as text), /status/<n>, /redirect-to?<address> (307 to the address),
/liar (announces 32 MiB, sends 10 bytes, then waits), /auth/clientLogin, /auth/logout; else 404.
"""
import base64
import hashlib
import hmac
import http.server
import os
import socketserver
import ssl
import subprocess
import sys
import threading
import urllib.parse

PATTERN = b"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz+/"
BIG = PATTERN * (10 * 1024 * 1024 // len(PATTERN))
UTF8_TEXT = "Привет, мир! € 😀 ünïcödé".encode("utf-8")
UNRESERVED = set(b"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz-.!~*'()")


class State:
    lock = threading.Lock()
    answer_status = 200
    answer_body = b"statusCode=200"
    released = threading.Event()
    last = None
    password = ""
    session_secret = ""
    stopping = threading.Event()


State.released.set()


def encode(text):
    """The client's percent-encoding: UTF-8 bytes, unreserved ones kept, the rest %XX."""
    return "".join(chr(b) if b in UNRESERVED else "%%%02X" % b for b in text.encode("utf-8"))


def form(text):
    """Form fields as the client writes them: no '+' for spaces, so unquote and not unquote_plus."""
    fields = {}
    for piece in text.split("&"):
        if "=" in piece:
            key, value = piece.split("=", 1)
            fields[key] = urllib.parse.unquote(value)
    return fields


def check_signature(port, target):
    path, _, query = target.partition("?")
    marker = "&sig_sha256="
    if marker not in "&" + query:
        return "none"
    unsigned, _, signature = ("&" + query).rpartition(marker)
    unsigned = unsigned[1:]
    url = "https://127.0.0.1:%d%s" % (port, path)
    base = "GET&" + encode(url) + "&" + encode(unsigned)
    session_key = base64.b64encode(
        hmac.new(State.password.encode("utf-8"), State.session_secret.encode("utf-8"), hashlib.sha256).digest())
    expected = base64.b64encode(hmac.new(session_key, base.encode("utf-8"), hashlib.sha256).digest()).decode()
    return "ok" if urllib.parse.unquote(signature) == expected else "bad"


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    # Headers and body go in two writes: without this the body waits for the client's delayed ACK.
    disable_nagle_algorithm = True

    def log_message(self, *args):
        pass

    def answer(self, status, body, content_type="text/plain; charset=utf-8", extra=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def wait_for_close(self):
        # Until the client goes away or the service ends.
        self.connection.settimeout(0.2)
        while not State.stopping.is_set():
            try:
                if not self.connection.recv(4096):
                    break
            except TimeoutError:
                continue
            except (OSError, ssl.SSLError):
                break
        self.close_connection = True

    def body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length else b""

    def do_GET(self):
        self.route()

    do_POST = do_PUT = do_DELETE = do_HEAD = do_GET

    def route(self):
        request_body = self.body()
        path = self.path.split("?")[0]
        if path == "/hello":
            self.answer(200, b"hello, world")
        elif path == "/utf8":
            self.answer(200, UTF8_TEXT)
        elif path == "/latin1":
            self.answer(200, b"caf\xe9", "text/plain; charset=ISO-8859-1")
        elif path == "/empty":
            self.answer(200, b"")
        elif path == "/big":
            self.answer(200, BIG, "application/octet-stream")
        elif path == "/stall":
            self.send_response(200)
            self.send_header("Content-Length", str(len(BIG)))
            self.end_headers()
            self.wfile.write(BIG[:65536])
            self.wfile.flush()
            self.wait_for_close()
        elif path == "/silent":
            self.wait_for_close()
        elif path == "/endless":
            self.send_response(200)
            self.send_header("Connection", "close")
            self.end_headers()
            self.close_connection = True
            try:
                while not State.stopping.is_set():
                    self.wfile.write(BIG)
            except OSError:
                pass
        elif path == "/redirect":
            self.answer(302, b"moved", extra=[("Location", "/hello")])
        elif path == "/redirect-to":
            self.answer(307, b"moved", extra=[("Location", urllib.parse.unquote(self.path.split("?", 1)[1]))])
        elif path == "/liar":
            self.send_response(200)
            self.send_header("Content-Length", str(32 << 20))
            self.end_headers()
            self.wfile.write(b"0123456789")
            self.wfile.flush()
            self.wait_for_close()
        elif path == "/redirect-loop":
            self.answer(302, b"again", extra=[("Location", "/redirect-loop")])
        elif path == "/xml":
            inbox = '<inbox><message id="7"><from>Вера</from></message><message id="8"/></inbox>'
            self.answer(200, inbox.encode("utf-8"), "application/xml; charset=utf-8")
        elif path == "/headers":
            self.answer(200, b"h", extra=[("X-One", "1"), ("X-Twice", "a"), ("X-Twice", "b")])
        elif path == "/echo":
            lines = ["%s %s" % (self.command, self.path)]
            lines += ["%s: %s" % (k, v) for k, v in self.headers.items()]
            text = "\n".join(lines).encode("utf-8") + b"\n\n" + request_body
            self.answer(200, text)
        elif path.startswith("/status/"):
            self.answer(int(path[8:]), b"status " + path[8:].encode())
        elif path.startswith("/auth/"):
            self.login_service(request_body)
        else:
            self.answer(404, b"not found")

    def login_service(self, request_body):
        headers = "\n".join("%s: %s" % (k, v) for k, v in self.headers.items())
        port = self.server.server_address[1]
        signature = check_signature(port, self.path) if self.command == "GET" else "none"
        with State.lock:
            State.last = (self.command, self.path, headers, request_body, signature)
            if self.path.split("?")[0] == "/auth/clientLogin":
                State.password = form(request_body.decode("utf-8", "replace")).get("pwd", "")
        State.released.wait()
        with State.lock:
            status, body = State.answer_status, State.answer_body
            if self.path.split("?")[0] == "/auth/clientLogin":
                secret = form(body.decode("utf-8", "replace")).get("sessionSecret")
                if secret is not None:
                    State.session_secret = secret
        self.answer(status, body)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        pass


def make_certificates(folder):
    def run(*args):
        subprocess.run(["openssl"] + list(args), cwd=folder, check=True, capture_output=True)

    curve = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    with open(os.path.join(folder, "server.ext"), "w") as ext:
        ext.write("subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\n"
                  "extendedKeyUsage=serverAuth\n")
    for name in ("ca", "untrusted"):
        run("req", "-x509", *curve, "-keyout", name + ".key", "-out", name + ".pem", "-days", "2",
            "-subj", "/CN=Tandu test " + name)
        run("req", *curve, "-keyout", name + "-server.key", "-out", name + "-server.csr", "-subj", "/CN=127.0.0.1")
        run("x509", "-req", "-in", name + "-server.csr", "-CA", name + ".pem", "-CAkey", name + ".key",
            "-CAcreateserial", "-out", name + "-server.pem", "-days", "2", "-extfile", "server.ext")


def serve(certificate=None, key=None):
    server = Server(("127.0.0.1", 0), Handler)
    if certificate:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(certificate, key)
        server.socket = context.wrap_socket(server.socket, server_side=True, do_handshake_on_connect=False)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server.server_address[1]


def main():
    folder = sys.argv[1]
    make_certificates(folder)
    ports = [serve()]
    for name in ("ca", "untrusted"):
        ports.append(serve(os.path.join(folder, name + "-server.pem"), os.path.join(folder, name + "-server.key")))
    print("http %d https %d untrusted %d ca %s" % (ports[0], ports[1], ports[2], os.path.join(folder, "ca.pem")),
          flush=True)
    for line in sys.stdin:
        words = line.split()
        reply = "ok"
        if not words:
            continue
        if words[0] == "answer":
            with State.lock:
                State.answer_status = int(words[1])
                State.answer_body = bytes.fromhex(words[2]) if len(words) > 2 else b""
        elif words[0] == "hold":
            State.released.clear()
        elif words[0] == "release":
            State.released.set()
        elif words[0] == "last":
            with State.lock:
                last = State.last
            if last is None:
                reply = "none"
            else:
                method, target, headers, body, signature = last
                reply = " ".join([method, target.encode().hex() or "-", headers.encode().hex() or "-",
                                  body.hex() or "-", signature])
        print(reply, flush=True)
    State.stopping.set()
    State.released.set()


if __name__ == "__main__":
    main()
