#!/usr/bin/env python3
"""A web server for tests on 127.0.0.1: serves a folder, and answers some
paths the way a faulty or unusual server would.

  /status?code=404[&reason=...]  that status, with a short body
  /redirect?to=URL[&code=302]    a redirect to URL
  /halfway?size=N&sent=M         Content-Length N, then M bytes and the connection closed
  /halfway-chunked?sent=M        chunked, M bytes, closed without the last chunk
  /unsized?size=N[&prefix=T]     T, then N bytes, without Content-Length, ended by closing
  /chunked?size=N                N bytes in chunks
  /stall?size=N&sent=M[&seconds=S]  Content-Length N, M bytes, then nothing for S seconds
  /trickle?file=PATH&chunk=N&pause=S  a served file (a folder's index.html), N bytes at a time, S seconds apart
  /set-cookie?name=value...      one Set-Cookie per pair
  /headers                       the request's header lines as the body

Generated bodies are bytes 0, 1, ..., 255, 0, 1, ... (see LocalWebServer::pattern).
"""

import argparse
import functools
import http.server
import os
import ssl
import sys
import time
import urllib.parse


def pattern(size):
    return (bytes(range(256)) * (size // 256 + 1))[:size]


class Handler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def setup(self):
        if isinstance(self.request, ssl.SSLSocket):
            self.request.do_handshake()
        super().setup()

    def log_message(self, format, *args):
        sys.stderr.write("%s %s\n" % (self.address_string(), format % args))

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        query = dict(urllib.parse.parse_qsl(url.query, keep_blank_values=True))
        special = getattr(self, "answer_" + url.path.strip("/").replace("-", "_"), None)
        if url.path.count("/") == 1 and special:
            special(query)
        else:
            super().do_GET()

    def finish_headers(self, length=None, close=False):
        if length is not None:
            self.send_header("Content-Length", str(length))
        if close:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()

    def send_body(self, body, content_type="application/octet-stream"):
        self.send_header("Content-Type", content_type)
        self.finish_headers(len(body))
        self.wfile.write(body)

    def send_chunk(self, data):
        self.wfile.write(b"%x\r\n%s\r\n" % (len(data), data))

    def answer_status(self, query):
        code = int(query.get("code", "404"))
        self.send_response(code, query.get("reason"))
        self.send_body(b"status %d\n" % code, "text/plain")

    def answer_redirect(self, query):
        self.send_response(int(query.get("code", "302")))
        self.send_header("Location", query["to"])
        self.send_body(b"moved\n", "text/plain")

    def answer_halfway(self, query):
        self.send_response(200)
        self.finish_headers(int(query["size"]), close=True)
        self.wfile.write(pattern(int(query["sent"])))

    def answer_halfway_chunked(self, query):
        self.send_response(200)
        self.send_header("Transfer-Encoding", "chunked")
        self.finish_headers(close=True)
        self.send_chunk(pattern(int(query["sent"])))

    def answer_unsized(self, query):
        self.send_response(200)
        self.finish_headers(close=True)
        self.wfile.write(query.get("prefix", "").encode() + pattern(int(query["size"])))

    def answer_chunked(self, query):
        self.send_response(200)
        self.send_header("Transfer-Encoding", "chunked")
        self.finish_headers()
        body = pattern(int(query["size"]))
        for start in range(0, len(body), 4000):
            self.send_chunk(body[start:start + 4000])
        self.wfile.write(b"0\r\n\r\n")

    def answer_stall(self, query):
        self.send_response(200)
        self.finish_headers(int(query["size"]), close=True)
        self.wfile.write(pattern(int(query.get("sent", "0"))))
        self.wfile.flush()
        time.sleep(float(query.get("seconds", "30")))

    def answer_trickle(self, query):
        path = self.translate_path("/" + query["file"])
        if os.path.isdir(path):
            path = os.path.join(path, "index.html")
        with open(path, "rb") as source:
            body = source.read()
        chunk = int(query.get("chunk", "1024"))
        pause = float(query.get("pause", "0.2"))
        self.send_response(200)
        self.finish_headers(len(body))
        for start in range(0, len(body), chunk):
            self.wfile.write(body[start:start + chunk])
            self.wfile.flush()
            if start + chunk < len(body):
                time.sleep(pause)

    def answer_set_cookie(self, query):
        self.send_response(200)
        for name, value in query.items():
            self.send_header("Set-Cookie", "%s=%s; Path=/" % (name, value))
        self.send_body(b"ok\n", "text/plain")

    def answer_headers(self, query):
        self.send_response(200)
        lines = "".join("%s: %s\n" % item for item in self.headers.items())
        self.send_body(lines.encode("latin-1"), "text/plain")


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        # A refused handshake is expected in tests; one line is enough.
        sys.stderr.write("%s: %s\n" % (client_address[0], sys.exc_info()[1]))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--cert")
    parser.add_argument("--key")
    arguments = parser.parse_args()

    handler = functools.partial(Handler, directory=arguments.root)
    server = Server(("127.0.0.1", arguments.port), handler)
    if arguments.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(arguments.cert, arguments.key)
        # The handshake runs in the request's thread, so a client that
        # stalls in it cannot hold up the others.
        server.socket = context.wrap_socket(server.socket, server_side=True, do_handshake_on_connect=False)
    server.serve_forever()


if __name__ == "__main__":
    main()
