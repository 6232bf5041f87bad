#!/usr/bin/python3
"""The web console's page with 2,000 libraries, in headless Chromium on this machine: the time
from navigation to a list that answers (the Performance API's mark when the first list is
drawn), the time a filter takes from the keystroke to the redrawn list, and the page's weight.
Prints a table.

    bench/bench_page.py [BIN_DIR]        (default build/bin)"""

import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.join(HERE, "..", "tests", "web")]
from bench_web import make_location, start_server  # noqa: E402 (the same 2,000 libraries)
from headless_chromium import browser  # noqa: E402

BIN = sys.argv[1] if len(sys.argv) > 1 else "build/bin"
CLI = os.path.join(BIN, "velmora-cli")
FILTERS = ["cut 1", "client 3", "cut 19", "x", "cut", "", "client 12/cut 5", "cut 1999"]

FILTER_SCRIPT = """
const [text, done] = [arguments[0], arguments[arguments.length - 1]];
const list = document.getElementById('list'), field = document.getElementById('filter');
const started = performance.now();
list.addEventListener('rendered', () => done([performance.now() - started, list.getAttribute('aria-activedescendant'),
                                              document.querySelectorAll('#list .row').length]), {once: true});
field.value = text;
field.dispatchEvent(new Event('input'));
"""


def main():
    tmp = tempfile.mkdtemp()
    root = os.path.join(tmp, "share")
    make_location(root)
    server, port, token = start_server(CLI, root, tmp)
    subprocess.run(["curl", "-s", "-X", "POST", "-H", "Authorization: Bearer " + token, "-H",
                    "Content-Type: application/json", "-d", "{}", f"http://127.0.0.1:{port}/api/v1/roots/share/scan"],
                   check=True, capture_output=True)
    driver = browser()
    base = f"http://127.0.0.1:{port}/"
    driver.get(base + "?token=" + token)  # signs in; the loads below hold the session
    driver.execute_async_script(
        "const done = arguments[0]; const look = () => performance.getEntriesByName('list-shown').length ? done() :"
        " setTimeout(look, 5); look();")
    # What the first visit downloads of the page's own files (later visits revalidate them).
    weight = driver.execute_script(
        "return performance.getEntriesByType('navigation')[0].encodedBodySize + performance.getEntriesByType('resource')"
        ".filter(r => !r.name.includes('/api/')).reduce((sum, r) => sum + r.encodedBodySize, 0)")
    loads = []
    for _ in range(6):
        driver.get(base)
        shown = driver.execute_async_script(
            "const done = arguments[0]; const look = () => { const m = performance.getEntriesByName('list-shown');"
            " if (m.length) done(m[0].startTime); else setTimeout(look, 5); }; look();")
        loads.append(shown)
    rows = driver.execute_script("return document.getElementById('list').getAttribute('aria-label') ||"
                                 " document.querySelector('#list .row').getAttribute('aria-setsize')")
    filters = []
    for _ in range(3):
        for text in FILTERS:
            filters.append(driver.execute_async_script(FILTER_SCRIPT, text)[0])
    driver.quit()
    server.send_signal(signal.SIGTERM)
    server.wait()
    shutil.rmtree(tmp)
    print(f"libraries listed: {rows}")
    print("| measure | median | worst | bound |")
    print("|---|---:|---:|---|")
    print(f"| navigation to a shown list (ms) | {statistics.median(loads[1:]):.0f} | {max(loads[1:]):.0f} | 1000 |")
    print(f"| filter, keystroke to redrawn list (ms) | {statistics.median(filters):.1f} | {max(filters):.1f} | 50 |")
    print(f"| page weight (KB, files of the page) | {weight / 1024:.1f} | | 200 |")


if __name__ == "__main__":
    main()
