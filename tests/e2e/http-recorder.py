#!/usr/bin/python3
"""Records the requests of the end-to-end tests: listens on a free port of 127.0.0.1, prints "port N",
appends "METHOD PATH" and the User-Agent of every GET to FOLDER/requests.txt and answers 200 "OK"; the
body of every POST goes to FOLDER/posts.txt, a line each.
Ends when its standard input closes, so that it never outlives the test that started it."""
import http.server
import os
import sys
import threading


class Recorder(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        with open(os.path.join(sys.argv[1], "requests.txt"), "a") as requests:
            requests.write(f"{self.command} {self.path} {self.headers.get('User-Agent', '')}\n")
        body = b"OK"
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_POST(self):
        """A webhook's delivery: its body, on one line, appended to FOLDER/posts.txt."""
        body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        with open(os.path.join(sys.argv[1], "posts.txt"), "ab") as posts:
            posts.write(body.replace(b"\n", b" ") + b"\n")
        self.send_response(200)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Recorder)
print(f"port {server.server_address[1]}", flush=True)
threading.Thread(target=server.serve_forever, daemon=True).start()
sys.stdin.read()
server.shutdown()
