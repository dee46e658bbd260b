#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# The server's page in Debian's Chromium, headless, at a phone's size, driven through its
# WebDriver: opens the page at the address in the browser profile's folder (whose cookies make
# the phone paired from one step to the next), and does one step, finding what it presses by what
# a screen reader is given (accessible names and roles as WebDriver computes them).
#   pair NAME LOG   sees that the page offers pairing only, asks for a code under the name, reads
#                   the code from the server's Log (the file LOG, as it grows), types it, and sees
#                   the page and the device among the paired ones
#   share NAME      presses "Share NAME" and waits until the page shows it shared
#   stop NAME HOST  sends HOST's desktop client a request with markup in it, sees its entry come as
#                   text, then presses "Stop sharing NAME" and waits until it is shown unshared
#   foreign ID      from a page of another origin, asks the server to share the connection ID as
#                   its script can (a fetch with the page's header and JSON) and as a form can
#                   (text that looks like JSON), and reports what the browser let it read
#   forget NAME     presses "Forget NAME" and waits until the page offers pairing again
#   shot PATH       saves the page (light and dark) as PATH-light.png and PATH-dark.png
# Prints one JSON object of what it measured and saw; exits 1 with the reason where a check fails.
import base64
import json
import os
import re
import socket
import sys
import time
from urllib.parse import urlparse

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.common.exceptions import StaleElementReferenceException
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

PHONE = {"width": 360, "height": 740}
PATIENCE = 30


def open_browser(profile, url):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
                     "--disable-dev-shm-usage", "--window-size=360,740",
                     "--user-data-dir=" + profile,
                     # Nothing of the browser's own reaches for a network: no name but the
                     # page's host is resolved, and no background work is done.
                     "--disable-background-networking",
                     "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE " + urlparse(url).hostname):
        options.add_argument(argument)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                           dict(PHONE, deviceScaleFactor=2, mobile=True))
    return driver


def fail(reason):
    print(json.dumps({"failed": reason}))
    sys.exit(1)


# The list is drawn anew with every change that the stream brings: a button found may be gone
# by the time it is read, and is looked for again.
def button_named(driver, name, where="#connections"):
    try:
        for button in driver.find_elements(By.CSS_SELECTOR, where + " button"):
            if button.accessible_name == name and button.aria_role == "button":
                return button
    except StaleElementReferenceException:
        pass
    return None


def wait_for_button(driver, name, where="#connections"):
    try:
        return WebDriverWait(driver, PATIENCE, poll_frequency=0.02).until(
            lambda d: button_named(d, name, where))
    except Exception:
        fail('no button named "%s"' % name)


def check_width(driver):
    if driver.execute_script("return document.documentElement.scrollWidth") > PHONE["width"]:
        fail("the page is wider than a phone")


def check_page(driver, seen):
    check_width(driver)
    log = driver.find_element(By.ID, "log")
    seen["log live"] = log.get_attribute("aria-live")
    seen["log role"] = log.aria_role
    seen["heading"] = driver.find_element(By.TAG_NAME, "h1").text


def wait_until(driver, condition, failure):
    try:
        WebDriverWait(driver, PATIENCE, poll_frequency=0.02).until(condition)
    except Exception:
        fail(failure)


def shown(driver, ident):
    return driver.find_element(By.ID, ident).is_displayed()


# The code that the server's Log gave the device, once the Log has it.
def code_in_log(log, name):
    pattern = re.compile(r'Pairing code ([0-9]{3} [0-9]{3}) for "%s" at ' % re.escape(name))
    deadline = time.monotonic() + PATIENCE
    while time.monotonic() < deadline:
        if os.path.exists(log):
            with open(log, encoding="utf-8", errors="replace") as lines:
                found = pattern.findall(lines.read())
            if found:
                return found[-1]
        time.sleep(0.05)
    fail("no code in the server's Log")


def pair(driver, name, log, seen):
    wait_until(driver, lambda d: shown(d, "pairing"), "the page did not offer pairing")
    if driver.find_elements(By.CSS_SELECTOR, "#connections button") or shown(driver, "paired"):
        fail("a device that is not paired was shown the connections")
    check_width(driver)
    if shown(driver, "code-form"):
        fail("the code's field is shown before a code was asked for")
    field = driver.find_element(By.ID, "device-name")
    seen["name label"] = field.accessible_name
    field.send_keys(name + "\n")
    wait_until(driver, lambda d: shown(d, "code-form"), "the page did not ask for the code")
    driver.find_element(By.ID, "code").send_keys(code_in_log(log, name) + "\n")
    wait_until(driver, lambda d: d.find_element(By.ID, "link").text == "Up to date",
               "the page did not open once paired")
    wait_until(driver, lambda d: d.find_elements(By.CSS_SELECTOR, "#devices .name"),
               "no paired device is listed")
    seen["devices"] = [item.text for item in driver.find_elements(By.CSS_SELECTOR, "#devices .name")]
    if driver.find_elements(By.CSS_SELECTOR, "#devices b"):
        fail("markup in a device's name was made into the page")


def forget(driver, name, seen):
    button = wait_for_button(driver, "Forget " + name, "#devices")
    button.send_keys("\n")
    wait_until(driver, lambda d: shown(d, "pairing") and not shown(d, "paired"),
               "the page did not offer pairing again")
    seen["after forget"] = driver.find_element(By.ID, "link").text


def press(driver, name, then_name, seen):
    started = time.monotonic()
    # The keyboard's way: the button takes the focus, and Enter presses it.
    while True:
        button = wait_for_button(driver, name)
        try:
            driver.execute_script("arguments[0].focus()", button)
            button.send_keys("\n")
            break
        except StaleElementReferenceException:
            continue
    wait_for_button(driver, then_name)
    seen["press to shown ms"] = round((time.monotonic() - started) * 1000)


def desktop_request(host, text):
    with socket.create_connection((host, 10000), timeout=PATIENCE) as client:
        client.sendall(text.encode())
        while client.recv(1024):
            pass


def log_texts(driver):
    return [item.text for item in driver.find_elements(By.CSS_SELECTOR, "#log li span")]


# Another site's page, as a data: URL (its origin is opaque): its script's request is preflighted
# and gets no leave; its form's request arrives without the page's header or origin.
def foreign(driver, url, ident, seen):
    body = json.dumps({"id": ident, "share": True})
    page = """<!doctype html><body><p id=said>waiting</p>
<form method=post action="%ssharing" enctype=text/plain target=sink>
<input name='%s' value='"}'></form><iframe name=sink></iframe><script>
const sink = document.querySelector("iframe");
fetch("%ssharing", {method: "POST", headers: {"Content-Type": "application/json",
    "X-Tarnlow-Page": "1"}, body: '%s'})
  .then(r => r.text()).then(t => { said.textContent = "read: " + t; },
                          e => {
    said.textContent = "refused";
    sink.onload = () => { said.textContent += ", form answered"; };
    document.forms[0].submit();
  });
</script>""" % (url, body[:-1] + ',"x":"', url, body)
    driver.get("data:text/html;base64," + base64.b64encode(page.encode()).decode())
    try:
        WebDriverWait(driver, PATIENCE).until(
            lambda d: d.find_element(By.ID, "said").text.startswith("read")
            or d.find_element(By.ID, "said").text.endswith("form answered"))
    except Exception:
        fail("the other site's page did not finish")
    seen["foreign"] = driver.find_element(By.ID, "said").text


def main():
    url, profile, step, args = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
    driver = open_browser(profile, url)
    seen = {}
    if step in ("foreign", "pair"):
        try:
            if step == "foreign":
                foreign(driver, url, args[0], seen)
            else:
                driver.get(url)
                pair(driver, args[0], args[1], seen)
        finally:
            driver.quit()
        print(json.dumps(seen))
        return
    try:
        started = time.monotonic()
        driver.get(url)
        # A device that is not paired is offered pairing (a screenshot of that is taken too).
        wait_until(driver, lambda d: d.find_element(By.ID, "link").text in (
            "Up to date", "This device is not paired"), "the page did not open")
        seen["open ms"] = round((time.monotonic() - started) * 1000)
        check_page(driver, seen)
        if step == "share":
            press(driver, "Share " + args[0], "Stop sharing " + args[0], seen)
        elif step == "forget":
            forget(driver, args[0], seen)
        elif step == "stop":
            markup = "PC7:<b id=bold>bold</b><img src=x onerror=document.title='owned'>"
            started = time.monotonic()
            desktop_request(args[1], markup)
            try:
                WebDriverWait(driver, PATIENCE).until(
                    lambda d: "Message Received: " + markup in log_texts(d))
            except Exception:
                fail("the desktop client's entry did not come as text")
            seen["entry shown ms"] = round((time.monotonic() - started) * 1000)
            if driver.find_elements(By.ID, "bold") or driver.title == "owned":
                fail("markup from a desktop request was made into the page")
            press(driver, "Stop sharing " + args[0], "Share " + args[0], seen)
        elif step == "shot":
            for scheme in ("light", "dark"):
                driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {
                    "features": [{"name": "prefers-color-scheme", "value": scheme}]})
                driver.save_screenshot("%s-%s.png" % (args[0], scheme))
    finally:
        driver.quit()
    print(json.dumps(seen))


main()
