"""Debian's Chromium, headless, driven through ChromeDriver: the one way the page's tests, its
benchmark and the service's try start a browser. The flags keep it from reaching out to the
network on its own (this machine's network is closed)."""

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service


def browser(language="en-GB", width=1400, height=1000, dark=False, self_signed=False):
    """A browser preferring `language`; `dark` asks for the dark scheme, `self_signed` takes
    any certificate (a test server's)."""
    options = Options()
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                     f"--window-size={width},{height}", f"--lang={language}"):
        options.add_argument(argument)
    if self_signed:
        options.add_argument("--ignore-certificate-errors")
    options.add_experimental_option("prefs", {"intl.accept_languages": language})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    if width < 500:  # narrower than a desktop window may be: a phone's screen
        driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                               {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": True})
    if dark:
        driver.execute_cdp_cmd("Emulation.setEmulatedMedia",
                               {"features": [{"name": "prefers-color-scheme", "value": "dark"}]})
    return driver
