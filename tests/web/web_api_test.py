#!/usr/bin/python3
"""`velmora-cli serve` through its real HTTP interface on loopback, as a browser or a script
would use it, checking the disk after each cleaning. Argument: the folder of the programs."""

import http.client
import json
import os
import random
import shutil
import socket
import sqlite3
import ssl
import subprocess
import tempfile
import time
import unittest
import warnings

from web_support import CLI, Events, Server, make_libraries, tree, wait_for


class WebApi(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp()
        cls.root = os.path.join(cls.tmp, "share")
        make_libraries(cls.root, ["A.fcpbundle", "B.fcpbundle", "Clients/C.fcpbundle"])
        cls.state = os.path.join(cls.tmp, "state")
        cls.server = Server(cls.state, ["Projects=" + cls.root])
        cls.cookie = cls.server.sign_in(cls.server.token)

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        shutil.rmtree(cls.tmp)

    def scan(self):
        self.assertEqual(self.server.request("POST", "/api/v1/roots/projects/scan", {}, cookie=self.cookie)[0], 202)
        wait_for("the scan", lambda: not (r := self.get("/api/v1/roots")["roots"][0])["scanning"] and r["lastScan"])

    def get(self, path, **kw):
        status, body, _ = self.server.request("GET", path, cookie=self.cookie, **kw)
        self.assertEqual(status, 200, body)
        return body

    def libraries(self):
        return {l["displayName"]: l for l in self.get("/api/v1/roots/projects/libraries?limit=1000")["libraries"]}

    def clean(self, body, **kw):
        status, answer, _ = self.server.request("POST", "/api/v1/roots/projects/clean", body, cookie=self.cookie, **kw)
        self.assertEqual(status, 202, answer)
        return wait_for("the cleaning", lambda: (r := self.get("/api/v1/runs/" + answer["run"]))["state"] == "done" and r)

    def test_a_scan_list_and_clean_as_the_cli_does(self):
        # A root never scanned is scanned at the start, unasked: the first page lists its libraries.
        wait_for("the first scan", lambda: self.get("/api/v1/roots")["roots"][0]["lastScan"])
        events = Events(self.server, self.cookie)
        self.scan()
        listed = self.get("/api/v1/roots/projects/libraries?sort=name&order=desc&limit=2")
        self.assertEqual((listed["total"], [l["displayName"] for l in listed["libraries"]]),
                         (3, ["C.fcpbundle", "B.fcpbundle"]))
        self.assertEqual(listed["libraries"][0]["relativePath"], "Clients/C.fcpbundle")
        filtered = self.get("/api/v1/roots/projects/libraries?filter=clients")["libraries"]
        self.assertEqual([l["displayName"] for l in filtered], ["C.fcpbundle"])
        # The same figures as the CLI's scan, field for field.
        cli = json.loads(subprocess.run([CLI, "scan", "--json", self.root], capture_output=True, check=True).stdout)
        served = self.libraries()
        for record in cli:
            mine = served[record["displayName"]]
            for field in ("size", "cacheSize", "proxySize", "optimizedSize", "analysisSize", "lastModified"):
                self.assertEqual(mine[field], record[field], field)
        # Each kind removes exactly what the CLI removes from an identical copy.
        copy = os.path.join(self.tmp, "copy")
        shutil.copytree(self.root, copy, symlinks=True)
        report = self.clean({"libraries": [served["A.fcpbundle"]["id"]], "categories": ["render", "proxy"]})
        self.assertEqual((report["removed"], report["failed"], report["bytes"]), (2, 0, 2000))
        for kind in ("render", "proxy"):
            subprocess.run([CLI, "clean", "--quiet", "--library", os.path.join(copy, "A.fcpbundle"), "--category", kind, copy],
                           check=True, capture_output=True)
        self.assertEqual(tree(self.root), tree(copy))
        report = self.clean({"all": True, "categories": ["optimized", "analysis", "render", "proxy"]})
        subprocess.run([CLI, "clean", "--quiet", copy], check=True, capture_output=True)
        self.assertEqual((report["removed"], tree(self.root)), (10, tree(copy)))
        # Events came in order: the scan, then each entry of each run as it went.
        wait_for("the events", lambda: sum(e[1] == "run" and e[2]["state"] == "done" for e in events.events) == 2)
        ids = [e[0] for e in events.events]
        self.assertEqual(ids, sorted(ids))
        kinds = [e[1] for e in events.events if e[1] in ("scan", "entry")]
        self.assertEqual((kinds[0], kinds.count("entry")), ("scan", 12))
        # The page's words, before signing in, in the language asked for or the browser's.
        for query, accept, language, words in (("", "en-GB,en;q=0.9", "en", ("Sign in", "Render Files")),
                                               ("?lang=zh", "en", "zh", ("登录", "缓存大小"))):
            status, texts, _ = self.server.request("GET", "/api/v1/texts" + query, headers={"Accept-Language": accept})
            self.assertEqual((status, texts["language"], texts["texts"]["signIn"], texts["texts"]["render"]),
                             (200, language, *words))
        history = self.get("/api/v1/history")["cleanings"]
        self.assertEqual([(h["by"], h["removed"]) for h in history], [("first", 10), ("first", 2)])
        # Two cleanings of one library take turns: the later one runs once the earlier is done.
        both = [self.server.request("POST", "/api/v1/roots/projects/clean",
                                    {"libraries": [served["B.fcpbundle"]["id"]], "categories": ["render"]},
                                    cookie=self.cookie)[1]["run"] for _ in range(2)]
        states = lambda: [(e[2]["run"], e[2]["state"]) for e in events.events if e[1] == "run" and e[2]["run"] in both]
        wait_for("both cleanings", lambda: sum(state == "done" for _, state in states()) == 2)
        order = [pair for pair in states() if pair[1] in ("running", "done")]
        self.assertEqual([state for _, state in order], ["running", "done", "running", "done"])
        self.assertEqual(order[0][0], order[1][0])

    def test_b_refusals_touch_nothing(self):
        self.scan()
        before = tree(self.root)
        request = self.server.request
        viewer = subprocess.run([CLI, "token", "add", "viewer", "--role", "viewer", "--state-dir", self.state],
                                capture_output=True, text=True, check=True).stdout.strip()
        an_id = next(iter(self.libraries().values()))["id"]
        clean = "/api/v1/roots/projects/clean"
        body = {"libraries": [an_id], "categories": ["render"]}
        cases = [
            ("no token", request("GET", "/api/v1/roots"), 401),
            ("a wrong token", request("GET", "/api/v1/roots", token="0" * 64), 401),
            ("a viewer may look", request("GET", "/api/v1/roots", token=viewer), 200),
            ("a viewer may not clean", request("POST", clean, body, token=viewer), 403),
            ("another site's page", request("POST", clean, body, cookie=self.cookie,
                                            headers={"Origin": "http://evil.example"}), 403),
            ("a cookie without Origin", request("POST", clean, body, cookie=self.cookie, origin=False), 403),
            ("a rebound name", request("GET", "/api/v1/roots", cookie=self.cookie,
                                       headers={"Host": "evil.example:80"}), 403),
            ("a made-up id", request("POST", clean, {"libraries": ["00000000-0000-4000-8000-000000000000"],
                                                     "categories": ["render"]}, token=self.server.token), 404),
            ("a path for an id", request("POST", clean, {"libraries": ["../A.fcpbundle"], "categories": ["render"]},
                                         cookie=self.cookie), 400),
            ("a path beside the ids", request("POST", clean, {**body, "path": "/"}, cookie=self.cookie), 400),
            ("an encoded path for a root", request("GET", "/api/v1/roots/..%2F..%2Fetc/libraries",
                                                   cookie=self.cookie), 404),
            ("another root", request("POST", "/api/v1/roots/other/clean", body, cookie=self.cookie), 404),
            ("not JSON", request("POST", clean, "libraries=1", cookie=self.cookie), 400),
            ("a huge body", request("POST", clean, "[" + "1," * 100000 + "1]", cookie=self.cookie), 413),
        ]
        for what, (status, answer, _), expected in cases:
            self.assertEqual(status, expected, what)
            if status >= 400:
                self.assertIn("code", answer["error"], what)
        self.assertEqual(tree(self.root), before)
        # A removed token signs its sessions out; failed sign-ins from one client are slowed down.
        session = self.server.sign_in(viewer)
        self.assertEqual(request("GET", "/api/v1/roots", cookie=session)[0], 200)
        subprocess.run([CLI, "token", "remove", "viewer", "--state-dir", self.state], check=True)
        self.assertEqual(request("GET", "/api/v1/roots", cookie=session)[0], 401)
        statuses = [request("POST", "/api/v1/session", {"token": "f" * 64})[0] for _ in range(7)]
        self.assertEqual((statuses[0], statuses[-1]), (401, 429))
        # Tokens are kept as salted hashes only.
        with sqlite3.connect(os.path.join(self.state, "velmora.sqlite3")) as db:
            stored = b"".join(bytes(r[0]) + bytes(r[1]) for r in db.execute("SELECT salt, hash FROM tokens"))
        self.assertNotIn(self.server.token.encode(), stored)

    def test_c_slow_and_garbled_clients_are_dropped(self):
        before = tree(self.root)
        slow = socket.create_connection(("127.0.0.1", self.server.port))
        started = time.monotonic()
        with self.assertRaises((ConnectionError, BrokenPipeError, socket.timeout)):
            for byte in b"GET /api/v1/roots HTTP/1.1\r\nHost: 127.0.0.1\r\n" * 10:
                slow.sendall(bytes([byte]))
                slow.settimeout(0.5)
                try:
                    if slow.recv(1) == b"":
                        raise ConnectionResetError("closed")
                except socket.timeout:
                    pass
        self.assertLess(time.monotonic() - started, 10)
        rng = random.Random(7)
        for i in range(10000):
            with socket.create_connection(("127.0.0.1", self.server.port)) as fuzz:
                head = rng.choice([b"", b"GET / HTTP/1.1\r\n", b"POST /api/v1/roots/projects/clean HTTP/1.1\r\n"])
                fuzz.sendall(head + rng.randbytes(rng.randrange(1, 300)) + b"\r\n\r\n")
                fuzz.shutdown(socket.SHUT_WR)
        self.assertEqual(self.get("/api/v1/roots")["roots"][0]["id"], "projects")
        self.assertEqual(tree(self.root), before)


class Lifecycle(unittest.TestCase):
    def test_sigterm_stops_a_cleaning_records_it_and_a_restart_keeps_it(self):
        tmp = tempfile.mkdtemp()
        root, state = os.path.join(tmp, "share"), os.path.join(tmp, "state")
        make_libraries(root, ["A.fcpbundle"])
        render = os.path.join(root, "A.fcpbundle/Event/Render Files")
        for i in range(40000):  # long enough that the stop lands half way
            with open(os.path.join(render, f"frame{i}"), "w") as frame:
                frame.write("f")
        server = Server(state, [root])
        cookie = server.sign_in(server.token)
        server.request("POST", "/api/v1/roots/share/scan", {}, cookie=cookie)
        wait_for("the scan", lambda: server.request("GET", "/api/v1/roots", cookie=cookie)[1]["roots"][0]["lastScan"])
        lib = server.request("GET", "/api/v1/roots/share/libraries", cookie=cookie)[1]["libraries"][0]
        run = server.request("POST", "/api/v1/roots/share/clean", {"libraries": [lib["id"]], "categories": ["render"]},
                             cookie=cookie)[1]["run"]
        wait_for("the first removals", lambda: len(os.listdir(render)) < 40001)
        self.assertEqual(server.stop(), 0)
        left = sum(name.startswith("frame") for name in os.listdir(render))
        self.assertGreater(left, 0)
        config = os.path.join(tmp, "web.conf")
        with open(config, "w") as f:
            f.write(f"# the roots from a file\nroot = {root}\nrescan-every = 1d\n")
        again = Server(state, [], "--config", config)
        self.assertIsNone(again.token)  # a token exists: none is handed out again
        listed = again.request("GET", "/api/v1/roots/share/libraries", token=server.token)[1]["libraries"]
        self.assertEqual([l["id"] for l in listed], [lib["id"]])
        # The stored scan is older than the cleaning: the start scans again, to the disk's figures.
        disk = json.loads(subprocess.run([CLI, "scan", "--json", root], capture_output=True, check=True).stdout)
        wait_for("the scan at the start", lambda: again.request("GET", "/api/v1/roots/share/libraries", token=server.token)
                 [1]["libraries"][0]["cacheSize"] == disk[0]["cacheSize"])
        history = again.request("GET", "/api/v1/history", token=server.token)[1]["cleanings"]
        # The entry was not removed whole, yet the bytes it gave up are counted.
        self.assertEqual([(h["run"], h["stopped"], h["removed"], h["failed"]) for h in history], [(run, True, 0, 0)])
        self.assertGreaterEqual(history[0]["bytes"], 40000 - left)
        self.assertEqual(again.stop(), 0)
        shutil.rmtree(tmp)

    def test_a_state_folder_that_cannot_be_written_stops_the_start(self):
        tmp = tempfile.mkdtemp()
        full = os.path.join(tmp, "full")
        os.makedirs(full)
        with open(os.path.join(tmp, "file"), "w"):
            pass
        bad = [os.path.join(tmp, "file"), "/proc/velmora-state"]
        if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", full]).returncode == 0:
            subprocess.run(["dd", "if=/dev/zero", "of=" + os.path.join(full, "fill"), "bs=4k"], capture_output=True)
            bad.append(os.path.join(full, "state"))
        try:
            for folder in bad:
                failed = subprocess.run([CLI, "serve", "--listen", "127.0.0.1:0", "--state-dir", folder, tmp],
                                        capture_output=True, text=True, timeout=30)
                self.assertEqual(failed.returncode, 1, failed.stderr)
                self.assertIn(folder, failed.stderr)
            # A root missing at the start (a share not mounted yet) is said, with why, and is not
            # kept as an empty scan: once it is there, the next start lists it.
            missing, state = os.path.join(tmp, "not-mounted"), os.path.join(tmp, "state3")
            server = Server(state, ["Share=" + missing])
            token = server.token
            roots = lambda: server.request("GET", "/api/v1/roots?lang=zh", token=token)[1]["roots"][0]
            self.assertEqual(wait_for("the scan", lambda: roots()["lastScan"])["firstUnreadable"],
                             {"reason": "No such file or directory", "reasonText": "没有那个文件或目录", "path": missing})
            server.stop()
            make_libraries(missing, ["A.fcpbundle"])
            server = Server(state, ["Share=" + missing])
            wait_for("the scan at the start", lambda: (roots()["lastScan"] or {}).get("libraries") == 1)
            server.stop()
            # A root that cannot be written (a service not given it) is said at the start.
            if subprocess.run(["mount", "-o", "remount,ro", full]).returncode == 0:
                server = Server(os.path.join(tmp, "state"), ["Full=" + full])
                self.assertIn(f"root full: {full} is on a read-only file system", "".join(server.log))
                server.stop()
        finally:
            subprocess.run(["umount", full], capture_output=True)
            shutil.rmtree(tmp)


class Tls(unittest.TestCase):
    def test_https_with_a_secure_cookie_and_a_report_that_names_what_stayed(self):
        tmp = tempfile.mkdtemp()
        root, cert, key = os.path.join(tmp, "share"), os.path.join(tmp, "cert.pem"), os.path.join(tmp, "key.pem")
        make_libraries(root, ["A.fcpbundle"])
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                        "-keyout", key, "-out", cert], check=True, capture_output=True)
        locked = os.path.join(root, "A.fcpbundle/Event/Render Files/clip/render")
        if subprocess.run(["chattr", "+i", locked], capture_output=True).returncode != 0:
            self.skipTest("chattr +i is not supported here")
        server = Server(os.path.join(tmp, "state"), [root], "--tls-cert", cert, "--tls-key", key)
        try:
            context = ssl.create_default_context(cafile=cert)
            https = lambda: http.client.HTTPSConnection("127.0.0.1", server.port, context=context, timeout=30)
            connection = https()
            connection.request("POST", "/api/v1/session", body=json.dumps({"token": server.token}),
                               headers={"Content-Type": "application/json", "Origin": f"https://127.0.0.1:{server.port}"})
            response = connection.getresponse()
            response.read()
            self.assertEqual(response.status, 200)
            self.assertIn("; Secure", response.getheader("Set-Cookie"))
            auth = {"Authorization": "Bearer " + server.token, "Content-Type": "application/json"}

            def call(method, path, body=None):
                connection.request(method, path, body=body and json.dumps(body), headers=auth)
                answer = connection.getresponse()
                return json.loads(answer.read())

            call("POST", "/api/v1/roots/share/scan", {})
            wait_for("the scan", lambda: call("GET", "/api/v1/roots")["roots"][0]["lastScan"])
            library = call("GET", "/api/v1/roots/share/libraries")["libraries"][0]["id"]
            run = call("POST", "/api/v1/roots/share/clean", {"libraries": [library], "categories": ["render", "proxy"]})
            report = wait_for("the cleaning", lambda: (r := call("GET", "/api/v1/runs/" + run["run"]))["state"] == "done" and r)
            self.assertEqual((report["removed"], report["failed"]), (1, 1))
            self.assertEqual(report["firstFailure"], {"path": locked, "reason": "Operation not permitted",
                                                      "reasonText": "Operation not permitted"})
            # A person reads why in the page's language; scripts keep the C library's words.
            chinese = call("GET", f"/api/v1/runs/{run['run']}?lang=zh")
            self.assertEqual([chinese["firstFailure"]["reasonText"]] + [e["errorText"] for e in chinese["entries"]
                                                                         if e["status"] == "failed"],
                             ["不允许的操作", locked + ": 不允许的操作"])
            stored = call("GET", "/api/v1/history?lang=zh")["cleanings"][0]["firstFailure"]
            self.assertEqual((stored["reason"], stored["reasonText"]), ("Operation not permitted", "不允许的操作"))
            self.assertTrue(os.path.exists(locked))
        finally:
            subprocess.run(["chattr", "-i", locked])
            server.stop()
            shutil.rmtree(tmp)


if __name__ == "__main__":
    warnings.simplefilter("ignore", ResourceWarning)  # sockets the server closed first
    unittest.main(verbosity=2)
