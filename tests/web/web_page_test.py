#!/usr/bin/python3
"""The web console's page in headless Chromium (Selenium), against `velmora-cli serve` on
loopback, as an editor uses it: sign in, read, sort and filter the list, select and clean,
stop, read the report and the history; checking the disk after each step, and the page's
accessibility with axe-core. Arguments: the folder of the programs, then axe.min.js."""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import warnings

AXE = sys.argv.pop(2) if len(sys.argv) > 2 else "build/web-tools/node_modules/axe-core/axe.min.js"
from web_support import CLI, Server, make_libraries, tree, wait_for  # noqa: E402 (takes the folder)

from headless_chromium import browser  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.common.exceptions import StaleElementReferenceException  # noqa: E402
from selenium.webdriver.common.keys import Keys  # noqa: E402


class Page:
    """One browser on the console, with the few things a test asks of it."""

    def __init__(self, server, token=None, **kw):
        self.driver = browser(**kw)
        self.base = f"http://127.0.0.1:{server.port}/"
        self.driver.get(self.base + (f"?token={token}" if token else ""))

    def find(self, css):
        return self.driver.find_element(By.CSS_SELECTOR, css)

    def visible(self, css):
        return wait_for(css, lambda: (e := self.driver.find_elements(By.CSS_SELECTOR, css)) and e[0].is_displayed()
                        and e[0])

    def text(self, css):
        return self.find(css).text

    def names(self):
        """The names of the rows drawn, in the list's order, read at one moment."""
        return self.driver.execute_script(
            "return [...document.querySelectorAll('#list .row')].sort((a, b) => a.ariaPosInSet - b.ariaPosInSet)"
            ".map(r => r.querySelector('strong').textContent)")

    def row_total(self, name):
        """The exact size of a library's row; rows are drawn anew when the list reloads."""
        script = ("return [...document.querySelectorAll('#list .row')].find(r => r.querySelector('strong')"
                  ".textContent === arguments[0])?.querySelector('.total').title")
        return wait_for(name, lambda: self.driver.execute_script(script, name))

    def click_row(self, name):
        def click():
            try:
                row = next(r for r in self.driver.find_elements(By.CSS_SELECTOR, "#list .row")
                           if r.find_element(By.CSS_SELECTOR, "strong").text == name)
                row.click()
                return True
            except (StopIteration, StaleElementReferenceException):
                return False
        wait_for(name, click)

    def confirm(self, answer):
        self.visible("#confirm[open]")
        focused = self.driver.switch_to.active_element.get_attribute("id")
        self.find("#confirmClean" if answer else "#confirmCancel").click()
        return focused

    def report(self):
        return self.visible("#report").text

    def axe(self):
        with open(AXE) as script:
            self.driver.execute_script(script.read())
        result = self.driver.execute_async_script(
            "const done = arguments[arguments.length - 1];"
            "axe.run(document, {resultTypes: ['violations']}).then(r => done(JSON.stringify(r.violations)));")
        return [(v["id"], v["impact"], [n["target"] for n in v["nodes"]][:3])
                for v in json.loads(result) if v["impact"] in ("serious", "critical")]

    def quit(self):
        self.driver.quit()


class WebPage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp()
        cls.root = os.path.join(cls.tmp, "share")
        make_libraries(cls.root, ["Alpha.fcpbundle", "Beta 2.fcpbundle", "Beta 10.fcpbundle", "Clients/Cut.fcpbundle"])
        cls.server = Server(os.path.join(cls.tmp, "state"), ["Projects=" + cls.root])
        cls.token = cls.server.token
        status, _, _ = cls.server.request("POST", "/api/v1/roots/projects/scan", {}, token=cls.token)
        wait_for("the scan", lambda: cls.server.request("GET", "/api/v1/roots", token=cls.token)[1]["roots"][0]["lastScan"])

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        shutil.rmtree(cls.tmp)

    def cli_clean(self, copy, *arguments):
        subprocess.run([CLI, "clean", "--quiet", *arguments, copy], check=True, capture_output=True)

    def test_a_sign_in_list_sort_filter_and_clean_one_kind(self):
        signed_out = Page(self.server)
        self.addCleanup(signed_out.quit)
        signed_out.visible("#tokenInput")
        self.assertEqual(signed_out.axe(), [], "the sign-in page")
        signed_out.find("#tokenInput").send_keys("0" * 64 + Keys.ENTER)
        wait_for("the refusal", lambda: signed_out.text("#signInError") == "That token is not valid.")

        page = Page(self.server, self.token)
        self.addCleanup(page.quit)
        page.visible("#list .row")
        self.assertNotIn("token", page.driver.current_url)  # the sign-in address leaves the bar
        cli = json.loads(subprocess.run([CLI, "scan", "--json", self.root], capture_output=True, check=True).stdout)
        self.assertEqual(page.names(), [r["displayName"] for r in cli])  # the scan's own order
        self.assertEqual(page.axe(), [], "the list")
        # Sort by name (digits by value), then filter by path.
        page.find("#sort option[value='name']").click()
        wait_for("the order", lambda: page.names() == ["Alpha.fcpbundle", "Beta 2.fcpbundle", "Beta 10.fcpbundle",
                                                       "Cut.fcpbundle"])
        page.find("#filter").send_keys("clients")
        wait_for("the filter", lambda: page.names() == ["Cut.fcpbundle"])
        page.find("#filter").clear()
        page.find("#filter").send_keys(" ")
        page.find("#filter").send_keys(Keys.BACKSPACE)
        wait_for("the whole list", lambda: len(page.names()) == 4)
        # With nothing selected the kind buttons wait; cleaning all does not.
        self.assertFalse(page.find("#clean-render").is_enabled())
        self.assertTrue(page.find("#cleanAll").is_enabled())
        # One kind of one library: cancel first (the default), then clean; the disk as the CLI's.
        copy = os.path.join(self.tmp, "copy")
        shutil.copytree(self.root, copy)
        page.click_row("Alpha.fcpbundle")
        self.assertEqual(page.text("#selectionStatus"), "1 library selected")
        before = tree(self.root)
        page.find("#clean-render").click()
        self.assertEqual(page.axe(), [], "the confirmation")
        self.assertIn("Projects", page.text("#confirmText"))
        self.assertIn("Render Files: 0.00 GB", page.text("#confirmKinds"))
        self.assertEqual(page.confirm(False), "confirmCancel")
        self.assertEqual(tree(self.root), before)
        page.find("#clean-render").click()
        page.confirm(True)
        report = page.report()
        self.assertIn("The cleaning finished with no failures.", report)
        self.assertIn("1 entry removed", report)
        self.cli_clean(copy, "--library", os.path.join(copy, "Alpha.fcpbundle"), "--category", "render")
        self.assertEqual(tree(self.root), tree(copy))
        wait_for("the history", lambda: "Render Files" in page.text("#historyRows"))

    def test_b_failure_stop_and_a_whole_root_seen_from_two_browsers(self):
        page, other = Page(self.server, self.token), Page(self.server, self.token)
        self.addCleanup(page.quit)
        self.addCleanup(other.quit)
        # A file that cannot go: the report names it and never says done.
        locked = os.path.join(self.root, "Beta 2.fcpbundle/Event/Transcoded Media/Proxy Media/clip/proxy")
        if subprocess.run(["chattr", "+i", locked], capture_output=True).returncode != 0:
            self.skipTest("chattr +i is not supported here")
        self.addCleanup(subprocess.run, ["chattr", "-i", locked])
        page.click_row("Beta 2.fcpbundle")
        page.find("#clean-proxy").click()
        page.confirm(True)
        report = page.report()
        self.assertIn("1 entry could not be removed: " + locked + ": Operation not permitted", report)
        self.assertNotIn("no failures", report)
        self.assertTrue(os.path.exists(locked))
        # A long cleaning, stopped from the page: said as stopped, and what is left stays.
        frames = os.path.join(self.root, "Beta 10.fcpbundle/Event/Render Files")
        for i in range(40000):
            with open(os.path.join(frames, f"frame{i}"), "w") as frame:
                frame.write("f")
        page.click_row("Beta 10.fcpbundle")
        page.find("#clean-render").click()
        page.confirm(True)
        page.visible("#stopRun").click()
        self.assertIn("Cleaning stopped.", page.report())
        self.assertTrue(os.path.exists(frames))
        # The other page hears of each cleaning: its list shows the sizes after it.
        size_before = other.row_total("Cut.fcpbundle")
        page.find("#cleanAll").click()
        page.confirm(False)
        self.assertTrue(os.path.exists(os.path.join(self.root, "Clients/Cut.fcpbundle/Event/Analysis Files")))
        page.find("#cleanAll").click()
        page.confirm(True)
        self.assertIn("could not be removed", page.report())  # the locked file is still there
        for kind in ("Render Files", "Analysis Files", "Transcoded Media/High Quality Media"):
            self.assertFalse(os.path.exists(os.path.join(self.root, "Clients/Cut.fcpbundle/Event", kind)), kind)
        wait_for("the other page's list", lambda: other.row_total("Cut.fcpbundle") != size_before)

    def test_c_a_viewer_in_chinese_and_dark(self):
        viewer = subprocess.run([CLI, "token", "add", "reader", "--role", "viewer", "--state-dir",
                                 os.path.join(self.tmp, "state")], capture_output=True, text=True, check=True).stdout.strip()
        page = Page(self.server, viewer, language="zh-CN", dark=True, width=390, height=844)
        self.addCleanup(page.quit)
        page.visible("#list .row")
        self.assertEqual(page.text("#rootsTitle"), "存储位置")
        self.assertFalse(page.find("#actions").is_displayed())  # nothing offered that it may not do
        self.assertEqual(page.text("#viewerNote"), "这个令牌只能查看大小，不能清理。")
        background = page.driver.execute_script("return getComputedStyle(document.body).backgroundColor")
        self.assertEqual(background, "rgb(22, 22, 24)")
        # Nothing sideways at a phone's width.
        self.assertLessEqual(page.driver.execute_script("return document.documentElement.scrollWidth"), 390)
        status = page.driver.execute_async_script(
            "fetch('/api/v1/roots/projects/clean', {method: 'POST', headers: {'Content-Type': 'application/json'},"
            " body: JSON.stringify({all: true, categories: ['render']})}).then(r => arguments[0](r.status))")
        self.assertEqual(status, 403)
        self.assertEqual(page.axe(), [], "the list in Chinese, dark, phone width")


if __name__ == "__main__":
    warnings.simplefilter("ignore", ResourceWarning)
    unittest.main(verbosity=2)
