#!/usr/bin/python3
"""Local test servers for the download tests, on 127.0.0.1 only.

  testserver.py http  --root DIR --state DIR [--lifetime S]
  testserver.py https --root DIR --state DIR      (self-signed CN=localhost, made now;
                                                   --cert F --key F: that certificate)
  testserver.py proxy --state DIR --user U --password P --realm R
  testserver.py ftp   --root DIR --state DIR [--refuse-rest] [--user U --password P]
  testserver.py silent --state DIR                (accepts connections, never sends a byte)
  testserver.py ftpfault --root DIR --state DIR [--rest-ignored] [--no-size]

--name N names the port and log files (default: the mode). The FTP server
never answers RETR of a file whose name begins with "stall".

ftpfault is a small FTP server of its own (any login, passive mode) for
faults pyftpdlib does not play. RETR of "silent*" sends half of what was
asked, then nothing; of "abort*" half, then "426 transfer aborted".
--rest-ignored takes REST (350) but sends from byte 0; --no-size refuses
SIZE; --slow-rest sends "350-" lines once a second for 60 s first;
--reply-delay S waits S seconds before the final reply to RETR. Every
command is logged.

Each server listens on a free port and writes it to STATE/<mode>.port. It
stops when that file is deleted (polled every 0.2 s) or after --lifetime
seconds (default 600). Every request is appended to STATE/<mode>.log as one
tab-separated line: path, Range (or "-"), Authorization (or "-"), If-Range
(or "-"), Host (or "-"), Proxy-Authorization (or "-").

Files are served with an ETag ("size-mtime" in hexadecimal) and a
Last-Modified date; a Range request whose If-Range names another validator
gets the whole file (200).

HTTP scenarios are chosen by the query of /files/<name>?...:
  ignore_range=1     answer 200 with the whole file
  no_length=1        206/200 without Content-Length (connection closes)
  drops=A,B,...      close the connection when the body reaches file offset
                     A, B, ... (each offset once per id=...)
  drop_always=N      close after N body bytes, every time
  stall=T&stall_at=N sleep T seconds when the body reaches file offset N
  stall_once=1       ... only the first time (per id=...)
  delay=T            sleep T seconds before answering (delay_once=1: only the
                     first time, per id=...)
  range_shift=D      answer a Range request from D bytes after (D < 0:
                     before) the offset asked for
  no_etag=1          no ETag (Last-Modified only)
  etag=X             the ETag is "X"
  proxy_auth=1       407 with Proxy-Authenticate, whatever the request carries
  status=NNN         answer NNN with a small body
  auth=U:P&realm=R   401 with WWW-Authenticate until Basic U:P arrives
  redirect=URL       302 to URL (a path on this server, or absolute; "self":
                     this very URL again, for ever)
  redirect64=B       302 to the URL whose URL-safe base64 form is B
  rate=BYTES         throttle the body to BYTES per second
  trickle=S          one byte of the body every S seconds
  half_stall=T       send half of what was asked, then stall T seconds and close
  script=A,B,...     answer the requests of this URL (per id=...) in turn with
                     ok, break:N (cut after N bytes of the body), 416, reset
                     (the connection reset, no answer), shift (206 from 1000
                     bytes after the offset asked, or before it near the end),
                     whole (200 ignoring Range), wbreak:N (whole, cut after
                     N), nolen (200 without Content-Length; nolen:N cut
                     after N bytes), stall:N (N bytes, then nothing for
                     stall=T seconds, default 30), chunk:N (200 as one chunk,
                     cut after N bytes), 204, nocr (206 without
                     Content-Range), star (206 whose total is "*"), cl0 (200
                     with Content-Length 0), multi (206 multipart), vers
                     (from now on version B, FILE.v2, with an ETag of its
                     own; this answer ignores If-Range); after the last, ok
  id=X               separates the "once" state of different transfers
"""
import argparse
import base64
import email.utils
import http.client
import http.server
import os
import socket
import socketserver
import struct
import subprocess
import sys
import threading
import time
import urllib.parse

LOCK = threading.Lock()
DROPS_DONE = set()  # (id, path, offset)
STALLS_DONE = set()  # (id, path, offset)
DELAYS_DONE = set()  # (id, path)
SCRIPT_STEPS = {}  # (id, path) -> requests answered
VERSIONS = set()  # (id, path) now serving version B


def log_request(state, mode, path, rng, auth, if_range=None, host=None, proxy_auth=None):
    with LOCK:
        with open(os.path.join(state, mode + ".log"), "a") as f:
            f.write("%s\t%s\t%s\t%s\t%s\t%s\n" % (path, rng or "-", auth or "-", if_range or "-",
                                                   host or "-", proxy_auth or "-"))


def write_port(state, mode, port):
    tmp = os.path.join(state, mode + ".port.tmp")
    with open(tmp, "w") as f:
        f.write(str(port))
    os.replace(tmp, os.path.join(state, mode + ".port"))


def watch(state, mode, lifetime, stop):
    port_file = os.path.join(state, mode + ".port")
    end = time.time() + lifetime
    while time.time() < end:
        time.sleep(0.2)
        if not os.path.exists(port_file):
            break
    stop()
    os._exit(0)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        # A client that gave up on a connection (a stall, a cancel) is no error.
        if not isinstance(sys.exc_info()[1], (ConnectionResetError, BrokenPipeError)):
            super().handle_error(request, client_address)


class FileHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    root = "."
    state = "."
    mode = "http"

    def log_message(self, *args):
        pass

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        q = {k: v[0] for k, v in urllib.parse.parse_qs(url.query).items()}
        rng = self.headers.get("Range")
        if_range = self.headers.get("If-Range")
        log_request(self.state, self.mode, self.path, rng, self.headers.get("Authorization"),
                    if_range, self.headers.get("Host"), self.headers.get("Proxy-Authorization"))
        if q.get("proxy_auth") == "1":
            return self.simple(407, b"proxy authorization required",
                               [("Proxy-Authenticate", 'Basic realm="origin"')])
        if "auth" in q:
            expected = "Basic " + base64.b64encode(q["auth"].encode()).decode()
            if self.headers.get("Authorization") != expected:
                realm = q.get("realm", "files")
                return self.simple(401, b"authorization required",
                                   [("WWW-Authenticate", 'Basic realm="%s"' % realm)])
        if "delay" in q:
            first = True
            if q.get("delay_once") == "1":
                with LOCK:
                    first = (q.get("id", ""), url.path) not in DELAYS_DONE
                    DELAYS_DONE.add((q.get("id", ""), url.path))
            if first:
                time.sleep(float(q["delay"]))
        if "status" in q:
            return self.simple(int(q["status"]), b"error page " + q["status"].encode())
        if "redirect64" in q:
            q["redirect"] = base64.urlsafe_b64decode(q["redirect64"].encode()).decode()
        if "redirect" in q:
            target = self.path if q["redirect"] == "self" else q["redirect"]
            return self.simple(302, b"moved", [("Location", target)])
        if not url.path.startswith("/files/"):
            return self.simple(404, b"not found")
        path = os.path.join(self.root, url.path[len("/files/"):])
        if not os.path.isfile(path):
            return self.simple(404, b"not found")
        key = (q.get("id", ""), url.path)
        step = ""
        if "script" in q:
            steps = q["script"].split(",")
            with LOCK:
                n = SCRIPT_STEPS.get(key, 0)
                SCRIPT_STEPS[key] = n + 1
            step = steps[n] if n < len(steps) else "ok"
            if step == "vers":
                with LOCK:
                    VERSIONS.add(key)
        version = 0
        with LOCK:
            if key in VERSIONS and os.path.isfile(path + ".v2"):
                path, version = path + ".v2", 1
        size = os.path.getsize(path)
        mtime = os.stat(path).st_mtime_ns
        etag = '"%x-%x-%d"' % (size, mtime, version)
        if "etag" in q:
            etag = '"%s"' % q["etag"]
        modified = email.utils.formatdate(mtime / 1e9, usegmt=True)
        validators = [modified] if q.get("no_etag") == "1" else [etag, modified]
        if step:
            if step == "reset":
                self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                           struct.pack("ii", 1, 0))
                self.connection.close()
                self.close_connection = True
                return
            if step == "416":
                return self.simple(416, b"range not satisfiable",
                                   [("Content-Range", "bytes */%d" % size)])
            if step == "204":
                return self.simple(204, b"")
            if step == "cl0":
                self.send_response(200)
                self.send_header("Content-Length", "0")
                return self.end_headers()
            name, _, count = step.partition(":")
            stall = q.pop("stall", "30")  # only for the step that stalls
            if name in ("break", "wbreak", "nolen", "chunk") and count:
                q["drop_always"] = count
            elif name == "stall":
                q["stall_at"], q["stall"] = "-" + count, stall
            if name in ("whole", "wbreak", "nolen", "chunk"):
                q["ignore_range"] = "1"
            if name == "vers" and rng:
                if_range = None  # ignored: the rest of version B from the offset asked
        start = 0
        partial = False
        if (rng and q.get("ignore_range") != "1" and rng.startswith("bytes=")
                and (if_range is None or if_range in validators)):
            first = rng[len("bytes="):].split("-")[0]
            if first.isdigit():
                start = int(first)
                if start >= size:
                    return self.simple(416, b"range not satisfiable",
                                       [("Content-Range", "bytes */%d" % size)])
                partial = True
                start = min(max(start + int(q.get("range_shift", "0")), 0), size - 1)
        if step == "shift":
            partial = True
            start = start + 1000 if start + 1000 < size else start - 1000
        if step in ("nocr", "star", "multi"):
            partial = True
        no_length = q.get("no_length") == "1" or step.startswith("nolen")
        chunked = step.startswith("chunk")
        if step == "multi":
            return self.send_multipart(path, start, size, etag)
        self.send_response(206 if partial else 200)
        if q.get("no_etag") != "1":
            self.send_header("ETag", etag)
        self.send_header("Last-Modified", modified)
        if partial and step != "nocr":
            total = "*" if step == "star" else str(size)
            self.send_header("Content-Range", "bytes %d-%d/%s" % (start, size - 1, total))
        if chunked:
            self.send_header("Transfer-Encoding", "chunked")
        elif no_length:
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(size - start))
        self.send_header("Content-Type", "application/octet-stream")
        self.end_headers()
        if chunked:  # one chunk, cut inside (chunk:N) or ended
            self.wfile.write(b"%x\r\n" % (size - start))
        self.send_body(path, start, size, q)
        if chunked and "drop_always" not in q:
            self.wfile.write(b"\r\n0\r\n\r\n")

    def send_multipart(self, path, start, size, etag):
        """206 multipart/byteranges: the rest from `start` as one framed part."""
        with open(path, "rb") as f:
            f.seek(start)
            body = (b"--SEP\r\nContent-Range: bytes %d-%d/%d\r\n\r\n%s\r\n--SEP--\r\n"
                    % (start, size - 1, size, f.read()))
        self.send_response(206)
        self.send_header("ETag", etag)
        self.send_header("Content-Type", "multipart/byteranges; boundary=SEP")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def send_body(self, path, start, size, q):
        drops = [int(x) for x in q["drops"].split(",")] if q.get("drops") else []
        tid = q.get("id", "")
        drop_always = int(q["drop_always"]) if "drop_always" in q else None
        stall = float(q.get("stall", "0"))
        stall_at = int(q.get("stall_at", "0"))
        if stall_at < 0 or q.get("stall_at") == "-0":  # counted from this answer's start
            stall_at = start - stall_at
        if "half_stall" in q:  # the stall comes where the body is cut
            stall, stall_at = float(q["half_stall"]), start + (size - start) // 2
            drop_always = (size - start) // 2
        trickle = float(q.get("trickle", "0"))
        if stall and q.get("stall_once") == "1":
            with LOCK:
                if (tid, path, stall_at) in STALLS_DONE:
                    stall = 0
                STALLS_DONE.add((tid, path, stall_at))
        rate = int(q.get("rate", "0"))
        chunk = max(1, min(65536, rate // 10)) if rate else 65536
        limit = size
        for d in drops:
            with LOCK:
                if d > start and (tid, path, d) not in DROPS_DONE:
                    limit = min(limit, d)
        if drop_always is not None:
            limit = min(limit, start + drop_always)
        sent_from = time.time()
        pos = start
        try:
            with open(path, "rb") as f:
                f.seek(start)
                if not rate and not stall and not trickle and limit == size:
                    self.wfile.flush()
                    self.connection.sendfile(f, start, size - start)
                    return
                while pos < limit:
                    if stall and pos >= stall_at:
                        self.wfile.flush()
                        time.sleep(stall)
                        stall = 0
                    n = min(chunk, limit - pos)
                    if trickle:
                        n = 1
                        self.wfile.flush()
                        time.sleep(trickle)
                    if stall and pos < stall_at:
                        n = min(n, stall_at - pos)
                    data = f.read(n)
                    if not data:
                        break
                    self.wfile.write(data)
                    pos += len(data)
                    if rate:
                        due = sent_from + (pos - start) / rate
                        delay = due - time.time()
                        if delay > 0:
                            self.wfile.flush()
                            time.sleep(delay)
                if stall and pos >= stall_at:
                    self.wfile.flush()
                    time.sleep(stall)
            self.wfile.flush()
        except (BrokenPipeError, ConnectionResetError):
            return
        if limit < size:
            with LOCK:
                DROPS_DONE.add((tid, path, limit))
            self.close_connection = True
            try:
                self.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    def simple(self, code, body, headers=()):
        # 1xx, 204 and 304 answers carry no body: a stray one would be read as
        # the start of the next answer on the kept-alive connection.
        if code < 200 or code in (204, 304):
            body = b""
        self.send_response(code)
        for name, value in headers:
            self.send_header(name, value)
        if body:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


class ProxyHandler(http.server.BaseHTTPRequestHandler):
    """Demands Proxy-Authorization, then forwards GETs to 127.0.0.1 only."""
    protocol_version = "HTTP/1.1"
    state = "."
    credentials = ""
    realm = "proxy"

    def log_message(self, *args):
        pass

    def do_GET(self):
        auth = self.headers.get("Proxy-Authorization")
        log_request(self.state, "proxy", self.path, self.headers.get("Range"), auth)
        expected = "Basic " + base64.b64encode(self.credentials.encode()).decode()
        if auth != expected:
            body = b"proxy authorization required"
            self.send_response(407)
            self.send_header("Proxy-Authenticate", 'Basic realm="%s"' % self.realm)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
            return
        url = urllib.parse.urlsplit(self.path)
        if url.hostname not in ("127.0.0.1", "localhost"):
            self.send_response(403)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        conn = http.client.HTTPConnection("127.0.0.1", url.port or 80, timeout=30)
        headers = {k: v for k, v in self.headers.items()
                   if k.lower() not in ("proxy-authorization", "proxy-connection", "connection")}
        conn.request("GET", url.path + ("?" + url.query if url.query else ""), headers=headers)
        answer = conn.getresponse()
        body = answer.read()
        self.send_response(answer.status)
        for k, v in answer.getheaders():
            if k.lower() not in ("content-length", "connection", "transfer-encoding"):
                self.send_header(k, v)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
        conn.close()


def make_certificate(state):
    cert = os.path.join(state, "localhost.crt")
    key = os.path.join(state, "localhost.key")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost",
                    "-keyout", key, "-out", cert],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return cert, key


def serve_http(args, secure):
    FileHandler.root = args.root
    FileHandler.state = args.state
    FileHandler.mode = args.mode
    server = Server(("127.0.0.1", 0), FileHandler)
    if secure:
        import ssl
        cert, key = (args.cert, args.key) if args.cert else make_certificate(args.state)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    run(server, args)


def serve_proxy(args):
    ProxyHandler.state = args.state
    ProxyHandler.credentials = args.user + ":" + args.password
    ProxyHandler.realm = args.realm
    run(Server(("127.0.0.1", 0), ProxyHandler), args)


def run(server, args):
    write_port(args.state, args.mode, server.server_address[1])
    threading.Thread(target=watch, args=(args.state, args.mode, args.lifetime, server.shutdown),
                     daemon=True).start()
    server.serve_forever(poll_interval=0.2)


def serve_ftp(args):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer

    state = args.state
    mode = args.mode

    class Handler(FTPHandler):
        def ftp_REST(self, line):
            log_request(state, mode, "REST " + line, None, None)
            if args.refuse_rest:
                self.respond("502 REST not implemented.")
                return
            return FTPHandler.ftp_REST(self, line)

        def ftp_RETR(self, file):
            log_request(state, mode, "RETR " + os.path.basename(file), None, None)
            if os.path.basename(file).startswith("stall"):
                return  # never answers: the client's open stalls
            return FTPHandler.ftp_RETR(self, file)

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elr")
    Handler.authorizer = authorizer
    Handler.passive_ports = None
    Handler.banner = "test server ready"
    import logging
    quiet = logging.getLogger("pyftpdlib")
    quiet.addHandler(logging.NullHandler())
    quiet.setLevel(logging.CRITICAL)
    quiet.propagate = False
    server = FTPServer(("127.0.0.1", 0), Handler)
    write_port(state, mode, server.address[1])
    port_file = os.path.join(state, mode + ".port")
    end = time.time() + args.lifetime
    while time.time() < end and os.path.exists(port_file):
        server.serve_forever(timeout=0.2, blocking=False)
    server.close_all()


def listen(args):
    """A socket listening on 127.0.0.1 (its port written to the port file),
    and whether the server is to go on (its lifetime not over, its port file
    there)."""
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    listener.settimeout(0.2)
    write_port(args.state, args.mode, listener.getsockname()[1])
    port_file = os.path.join(args.state, args.mode + ".port")
    end = time.time() + args.lifetime
    return listener, lambda: time.time() < end and os.path.exists(port_file)


def serve_silent(args):
    """Accepts connections and never sends a byte (a server that never
    greets); each connection is held until the server stops."""
    listener, running = listen(args)
    held = []
    while running():
        try:
            connection, _ = listener.accept()
            held.append(connection)
            log_request(args.state, args.mode, "connect", None, None)
        except socket.timeout:
            pass
    for connection in held:
        connection.close()


def serve_ftpfault(args):
    listener, running = listen(args)
    fixed = {"USER": "331 password please", "PASS": "230 logged in", "PWD": '257 "/"',
             "QUIT": "221 bye"}

    def wait(seconds):
        while seconds > 0 and running():
            time.sleep(0.2)
            seconds -= 0.2

    def session(conn):
        reader = conn.makefile("rb")
        send = lambda text: conn.sendall(text.encode() + b"\r\n")
        rest, passive = 0, None
        try:
            send("220 fault server ready")
            for line in reader:
                line = line.decode("latin-1").rstrip("\r\n")
                log_request(args.state, args.mode, line, None, None)
                verb, _, arg = line.partition(" ")
                path = os.path.join(args.root, os.path.basename(arg))
                name = os.path.basename(path)
                if verb == "SIZE":
                    send("502 no SIZE" if args.no_size else "213 %d" % os.path.getsize(path))
                elif verb == "REST":
                    for _ in range(60 if args.slow_rest else 0):
                        send("350-still thinking")
                        wait(1)
                    rest = int(arg)
                    send("350 restarting at %d" % rest)
                elif verb == "PASV":
                    passive = socket.create_server(("127.0.0.1", 0))
                    port = passive.getsockname()[1]
                    send("227 Entering Passive Mode (127,0,0,1,%d,%d)" % (port >> 8, port & 255))
                elif verb == "RETR":
                    send("150 opening the data connection")
                    data_conn, _ = passive.accept()
                    with open(path, "rb") as f:
                        f.seek(0 if args.rest_ignored else rest)
                        data = f.read()
                    rest = 0
                    half = name.startswith("silent") or name.startswith("abort")
                    data_conn.sendall(data[:len(data) // 2] if half else data)
                    if name.startswith("silent"):
                        wait(args.lifetime)
                    data_conn.close()
                    wait(args.reply_delay)
                    send("426 transfer aborted" if name.startswith("abort") else "226 done")
                else:
                    send(fixed.get(verb, "200 ok"))
                    if verb == "QUIT":
                        break
        except OSError:
            pass
        conn.close()

    while running():
        try:
            threading.Thread(target=session, args=(listener.accept()[0],), daemon=True).start()
        except socket.timeout:
            pass
    listener.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("mode", choices=["http", "https", "proxy", "ftp", "silent", "ftpfault"])
    parser.add_argument("--root", default=".")
    parser.add_argument("--state", required=True)
    parser.add_argument("--lifetime", type=float, default=600)
    parser.add_argument("--user", default="user")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--realm", default="proxy")
    parser.add_argument("--refuse-rest", action="store_true")
    parser.add_argument("--rest-ignored", action="store_true")
    parser.add_argument("--no-size", action="store_true")
    parser.add_argument("--slow-rest", action="store_true")
    parser.add_argument("--reply-delay", type=float, default=0)
    parser.add_argument("--cert", help="https: the server certificate (PEM) instead of a new one")
    parser.add_argument("--key", help="https: the key of --cert (PEM)")
    parser.add_argument("--name", help="name of the port and log files (default: the mode)")
    args = parser.parse_args()
    kind = args.mode
    args.mode = args.name or args.mode
    os.makedirs(args.state, exist_ok=True)
    if kind in ("http", "https"):
        serve_http(args, kind == "https")
    elif kind == "proxy":
        serve_proxy(args)
    elif kind == "silent":
        serve_silent(args)
    elif kind == "ftpfault":
        serve_ftpfault(args)
    else:
        serve_ftp(args)


if __name__ == "__main__":
    sys.exit(main())
