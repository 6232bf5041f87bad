#!/usr/bin/python3
"""The browser half of scripts/try_service.sh: headless Chromium signs in to the console at the
address given, with the token given, over HTTPS with a self-signed certificate; cleans the
render files of "Documentary.fcpbundle" after confirming; reads the report and the history.
Arguments: the address, the token, a folder for the screenshots."""

import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
from headless_chromium import browser  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.common.keys import Keys

address, token, shots = sys.argv[1:4]


def wait(what, probe, timeout=60):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        try:
            if value := probe():
                return value
        except Exception:  # an element not there yet, or drawn anew
            pass
        time.sleep(0.1)
    raise SystemExit("timed out waiting for " + what)


driver = browser(self_signed=True)
try:
    driver.get(address)
    wait("the sign-in", lambda: driver.find_element(By.ID, "tokenInput").is_displayed())
    driver.find_element(By.ID, "tokenInput").send_keys(token + Keys.ENTER)
    rows = wait("the list", lambda: driver.find_elements(By.CSS_SELECTOR, "#list .row"))
    print("signed in; cookie:", [(c["name"], "Secure" if c.get("secure") else "NOT SECURE", c.get("sameSite"))
                                 for c in driver.get_cookies()])
    print("listed:", sorted(r.find_element(By.CSS_SELECTOR, "strong").text for r in rows))
    driver.save_screenshot(shots + "/signed-in.png")
    next(r for r in rows if r.find_element(By.CSS_SELECTOR, "strong").text == "Documentary.fcpbundle").click()
    driver.find_element(By.ID, "clean-render").click()
    wait("the confirmation", lambda: driver.find_element(By.CSS_SELECTOR, "#confirm[open]"))
    print("asked:", driver.find_element(By.ID, "confirmText").text, driver.find_element(By.ID, "confirmKinds").text)
    driver.find_element(By.ID, "confirmClean").click()
    report = wait("the report", lambda: driver.find_element(By.ID, "report").is_displayed()
                  and driver.find_element(By.ID, "report").text)
    print("report:", " / ".join(report.splitlines()))
    if "no failures" not in report:
        raise SystemExit("the cleaning did not finish cleanly")
    history = wait("the history", lambda: "Render Files" in (t := driver.find_element(By.ID, "historyRows").text) and t)
    print("history:", " / ".join(history.splitlines()))
    driver.save_screenshot(shots + "/cleaned.png")
finally:
    driver.quit()
