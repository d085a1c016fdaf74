#!/usr/bin/env python3
"""Records every POST it gets into FOLDER: N.head (request line, headers and
the arrival time) and N.body. Answers 503 to the first FAIL requests, then 200.
Prints its port, then serves until its standard input closes.

usage: push_receiver.py FOLDER FAIL"""
import http.server
import os
import sys
import threading
import time

FOLDER = sys.argv[1]
FAIL = int(sys.argv[2])
COUNT = [0]
LOCK = threading.Lock()


class Recorder(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        with LOCK:
            n = COUNT[0]
            COUNT[0] += 1
        status = 503 if n < FAIL else 200
        head = f"{self.command} {self.path}\n{self.headers}Received-At: {time.time():.3f}\n"
        with open(os.path.join(FOLDER, f"{n}.body"), "wb") as f:
            f.write(body)
        # The head last: a reader that sees it finds the body complete.
        with open(os.path.join(FOLDER, f"{n}.tmp"), "w") as f:
            f.write(head + f"Status: {status}\n")
        os.rename(os.path.join(FOLDER, f"{n}.tmp"), os.path.join(FOLDER, f"{n}.head"))
        self.send_response(status)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Recorder)
print(server.server_address[1], flush=True)
threading.Thread(target=server.serve_forever, daemon=True).start()
sys.stdin.read()
server.shutdown()
