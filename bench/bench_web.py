#!/usr/bin/python3
"""The web console's server with 2,000 libraries on this machine: how fast the list API
answers, alone and under 50 clients at once; a scan through the server against
`velmora-cli scan` of the same root; the server's resident memory. Prints a table.

    bench/bench_web.py [BIN_DIR]        (default build/bin)"""

import http.client
import json
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

BIN = sys.argv[1] if len(sys.argv) > 1 else "build/bin"
CLI = os.path.join(BIN, "velmora-cli")
LIBRARIES, CLIENTS, SECONDS = 2000, 50, 4


def make_location(root):
    for i in range(LIBRARIES):
        event = os.path.join(root, f"Client {i % 40}", f"Cut {i}.fcpbundle", "Event")
        for sub in ("Render Files", "Transcoded Media/Proxy Media", "Original Media"):
            os.makedirs(os.path.join(event, sub))
            with open(os.path.join(event, sub, "f"), "wb") as f:
                f.write(b"x" * (i % 997 + 1))


def start_server(cli, root, tmp):
    """`velmora-cli serve` of `root` as "Share" on a free port: the process, its port and its
    first token."""
    server = subprocess.Popen([cli, "serve", "--listen", "127.0.0.1:0", "--state-dir", os.path.join(tmp, "state"),
                               "Share=" + root], stderr=subprocess.PIPE, text=True)
    token = port = None
    for line in server.stderr:
        token = (m := re.search(r"\?token=([0-9a-f]+)", line)) and m.group(1) or token
        if m := re.search(r"serving \d+ roots on [^:]+:(\d+)", line):
            port = int(m.group(1))
            break
    threading.Thread(target=server.stderr.read, daemon=True).start()  # the request log
    return server, port, token


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


def main():
    tmp = tempfile.mkdtemp()
    root = os.path.join(tmp, "share")
    make_location(root)
    server, port, token = start_server(CLI, root, tmp)
    auth = {"Authorization": "Bearer " + token, "Content-Type": "application/json"}

    def get(connection, path):
        started = time.perf_counter()
        connection.request("GET", path, headers=auth)
        response = connection.getresponse()
        body = response.read()
        return time.perf_counter() - started, response.status, body

    connection = http.client.HTTPConnection("127.0.0.1", port)
    scans, cli_scans = [], []
    for _ in range(5):
        started = time.perf_counter()
        connection.request("POST", "/api/v1/roots/share/scan", body="{}", headers=auth)
        connection.getresponse().read()
        while True:
            root_state = json.loads(get(connection, "/api/v1/roots")[2])["roots"][0]
            if not root_state["scanning"] and root_state["lastScan"]:
                break
            time.sleep(0.002)  # a light poll: the scan is not slowed by its own observer
        scans.append(time.perf_counter() - started)
        started = time.perf_counter()
        subprocess.run([CLI, "scan", "--json", root], stdout=subprocess.DEVNULL, check=True)
        cli_scans.append(time.perf_counter() - started)
    page = "/api/v1/roots/share/libraries?sort=name&limit=100"
    alone = [get(connection, page)[0] for _ in range(200)]

    latencies, errors, stop = [], [], time.monotonic() + SECONDS
    lock = threading.Lock()

    def client(n):
        own = http.client.HTTPConnection("127.0.0.1", port)
        while time.monotonic() < stop:
            try:
                took, status, _ = get(own, page + f"&offset={n * 37 % LIBRARIES}")
                with lock:
                    (latencies if status == 200 else errors).append(took)
            except OSError as error:
                with lock:
                    errors.append(error)
                own = http.client.HTTPConnection("127.0.0.1", port)

    threads = [threading.Thread(target=client, args=(n,)) for n in range(CLIENTS)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    with open(f"/proc/{server.pid}/status") as status:
        rss = int(re.search(r"VmRSS:\s+(\d+)", status.read()).group(1)) / 1024
    server.send_signal(signal.SIGTERM)
    server.wait()
    shutil.rmtree(tmp)

    ms = lambda seconds: f"{seconds * 1000:.1f} ms"
    scan, cli = statistics.median(scans), statistics.median(cli_scans)
    print(f"{LIBRARIES} libraries; load average {os.getloadavg()[0]:.2f}")
    print("| measure | figure | target |")
    print("|---|---:|---|")
    print(f"| list page (100 by name), one client, median | {ms(statistics.median(alone))} | <= 20 ms |")
    print(f"| the same, {CLIENTS} clients for {SECONDS} s: p50 / p99 | "
          f"{ms(percentile(latencies, 0.5))} / {ms(percentile(latencies, 0.99))} | p99 <= 100 ms |")
    print(f"| requests answered / errors | {len(latencies)} / {len(errors)} | no error |")
    print(f"| scan through the server / velmora-cli scan, median of 5 | {ms(scan)} / {ms(cli)} ({scan / cli:.2f}) | <= 1.1 |")
    print(f"| server's resident memory after all that | {rss:.1f} MiB | <= 40 MiB |")


if __name__ == "__main__":
    main()
