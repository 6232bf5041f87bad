"""What the web console's tests share: sample libraries, the disk's tree, waiting on a
condition, and `velmora-cli serve` run on loopback with its first token."""

import atexit
import http.client
import json
import os
import re
import signal
import subprocess
import sys
import threading
import time

BIN = sys.argv.pop(1) if len(sys.argv) > 1 else "build/bin"  # the folder of the programs
CLI = os.path.join(BIN, "velmora-cli")
KINDS = {"render": "Render Files", "proxy": "Transcoded Media/Proxy Media",
         "optimized": "Transcoded Media/High Quality Media", "analysis": "Analysis Files"}


def wait_for(what, probe, timeout=30.0):
    deadline = time.monotonic() + timeout
    while not (found := probe()):
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.02)
    return found


def make_libraries(root, names):
    for name in names:
        for kind, sub in KINDS.items():
            os.makedirs(os.path.join(root, name, "Event", sub, "clip"), exist_ok=True)
            with open(os.path.join(root, name, "Event", sub, "clip", kind), "wb") as f:
                f.write(b"x" * 1000)
        os.makedirs(os.path.join(root, name, "Event", "Original Media"), exist_ok=True)
        with open(os.path.join(root, name, "Event", "Original Media", "clip.mov"), "wb") as f:
            f.write(b"m" * 5000)


def tree(root):
    return sorted(os.path.relpath(os.path.join(d, n), root) for d, ds, fs in os.walk(root) for n in ds + fs)


class Server:
    def __init__(self, state, roots, *extra):
        self.proc = subprocess.Popen([CLI, "serve", "--listen", "127.0.0.1:0", "--state-dir", state,
                                      "--request-timeout", "2s", *extra, *roots],
                                     stderr=subprocess.PIPE, text=True)
        atexit.register(self.proc.kill)  # a failed test leaves no server holding CTest's output open
        self.log, self.token = [], None
        for line in self.proc.stderr:
            self.log.append(line)
            if m := re.search(r"\?token=([0-9a-f]+)", line):
                self.token = m.group(1)
            if m := re.search(r"serving \d+ roots on [^:]+:(\d+)", line):
                self.port = int(m.group(1))
                break
        else:
            raise AssertionError("the server did not start: " + "".join(self.log))
        threading.Thread(target=lambda: self.log.extend(self.proc.stderr), daemon=True).start()

    def request(self, method, path, body=None, token=None, cookie=None, origin=True, headers=None):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=30)
        sent = {"Content-Type": "application/json"} if body is not None else {}
        if origin and method == "POST":
            sent["Origin"] = f"http://127.0.0.1:{self.port}"
        if token:
            sent["Authorization"] = "Bearer " + token
        if cookie:
            sent["Cookie"] = cookie
        sent.update(headers or {})
        data = body if isinstance(body, (bytes, str)) or body is None else json.dumps(body)
        connection.request(method, path, body=data, headers=sent)
        response = connection.getresponse()
        text = response.read()
        connection.close()
        try:
            payload = json.loads(text)
        except ValueError:
            payload = text
        return response.status, payload, response

    def sign_in(self, token):
        status, _, response = self.request("POST", "/api/v1/session", {"token": token})
        assert status == 200, status
        return response.getheader("Set-Cookie").split(";")[0]

    def stop(self):
        self.proc.send_signal(signal.SIGTERM)
        return self.proc.wait(timeout=60)


class Events(threading.Thread):
    """The server's event stream, read as a page reads it."""

    def __init__(self, server, cookie):
        super().__init__(daemon=True)
        self.connection = http.client.HTTPConnection("127.0.0.1", server.port, timeout=60)
        self.connection.request("GET", "/api/v1/events", headers={"Cookie": cookie})
        self.response = self.connection.getresponse()
        assert self.response.getheader("Content-Type") == "text/event-stream"
        self.events = []
        self.start()

    def run(self):
        event = {}
        for raw in self.response:
            line = raw.decode().rstrip("\n")
            if not line:
                if "event" in event:
                    self.events.append((int(event["id"]), event["event"], json.loads(event["data"])))
                event = {}
            elif not line.startswith(":"):
                key, _, value = line.partition(": ")
                event[key] = value
