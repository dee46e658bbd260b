#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# The page's figures, side by side in one run, against tarnlow-server-nox over the in-memory
# sharing service, inside the caller's loopback-only namespace: the bytes of the first load, a
# press to "shared" shown in Chromium, the page's share request against the desktop protocol's,
# the server's memory with and without the page, and its processor time while a page is open and
# nothing happens. Prints a Markdown table.
#   page_bench.py SERVER BROWSER_SCRIPT
import json
import os
import re
import socket
import statistics
import subprocess
import sys
import tempfile
import time

SERVER, BROWSER = sys.argv[1], sys.argv[2]
HOST = "127.0.0.1"
PAGE = 10001
ROUNDS = 20
# The server's Log and its paired devices, and the browser's profile: the run's own.
SCRATCH = tempfile.mkdtemp(prefix="tarnlow-page-bench-")
LOG = os.path.join(SCRATCH, "log")
cookie = ""


def log_holds(pattern):
    while True:
        with open(LOG, encoding="utf-8", errors="replace") as log:
            found = re.findall(pattern, log.read())
        if found:
            return found[-1]
        time.sleep(0.05)


def start(settings):
    conf = os.path.join(SCRATCH, "tarnlow.conf")
    with open(conf, "w") as file:
        file.write(settings)
    server = subprocess.Popen([SERVER], stdout=open(LOG, "w"), stderr=subprocess.DEVNULL,
                              env=dict(os.environ, TARNLOW_SETTINGS=conf, STATE_DIRECTORY=SCRATCH))
    log_holds("Waiting for a socket event")
    return server


def desktop(request):
    with socket.create_connection((HOST, 10000)) as client:
        client.sendall(request.encode())
        reply = b""
        while chunk := client.recv(4096):
            reply += chunk
    return reply.decode()


# The bench's own requests come from an address of their own, so that the browser may ask for a
# code of its own within the minute.
def http(method, path, body="", sent_cookie=None):
    with socket.create_connection((HOST, PAGE), source_address=("127.0.0.2", 0)) as client:
        client.sendall(("%s %s HTTP/1.1\r\nHost: %s:%d\r\nOrigin: http://%s:%d\r\n"
                        "X-Tarnlow-Page: 1\r\nContent-Type: application/json\r\n"
                        "Cookie: %s\r\nContent-Length: %d\r\nConnection: close\r\n\r\n%s"
                        % (method, path, HOST, PAGE, HOST, PAGE,
                           cookie if sent_cookie is None else sent_cookie, len(body),
                           body)).encode())
        answer = b""
        while chunk := client.recv(65536):
            answer += chunk
    return answer


def set_cookie(answer, name):
    return re.search(rb"Set-Cookie: (" + name + rb"=[0-9a-f]+)", answer).group(1).decode()


# Pairs this client as the page's script does, with the code from the server's Log.
def pair():
    global cookie
    key = set_cookie(http("POST", "/pairing", json.dumps({"name": "Bench"}), ""), b"tarnlow-pairing")
    code = log_holds(r'Pairing code ([0-9]{3} [0-9]{3}) for "Bench"')
    cookie = set_cookie(http("POST", "/pairing/code", json.dumps({"code": code}), key),
                        b"tarnlow-device")


def events_request():
    return ("GET /events HTTP/1.1\r\nHost: %s:%d\r\nCookie: %s\r\n\r\n"
            % (HOST, PAGE, cookie)).encode()


def first_event():
    with socket.create_connection((HOST, PAGE)) as client:
        client.sendall(events_request())
        answer = b""
        while b"\n\n" not in answer.split(b"\r\n\r\n", 1)[-1] or b"event: state" not in answer:
            answer += client.recv(65536)
    return answer


def rss_kib(server):
    with open("/proc/%d/status" % server.pid) as status:
        return int(next(l for l in status if l.startswith("VmRSS:")).split()[1])


def cpu_ticks(server):
    with open("/proc/%d/stat" % server.pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def timed(action):
    samples = []
    for _ in range(ROUNDS):
        started = time.monotonic()
        action()
        samples.append((time.monotonic() - started) * 1000)
    return samples


def row(figure, samples, unit, goal=""):
    if isinstance(samples, list):
        print("| %s | %.1f | %.1f to %.1f | %s | %s |"
              % (figure, statistics.median(samples), min(samples), max(samples), unit, goal))
    else:
        print("| %s | %s | | %s | %s |" % (figure, samples, unit, goal))


def main():
    print("| Figure | Median | Spread | Unit | Goal |")
    print("|---|---|---|---|---|")
    # Memory: the same work on the desktop protocol, without and with the page (which is also
    # loaded and followed with the server's Log meanwhile).
    memory = {}
    for settings in ("page = off\n", "page = on\n"):
        server = start(settings)
        held = None
        for _ in range(ROUNDS):
            desktop("PC7:ConnectionList")
        if settings == "page = on\n":
            for path in ("/", "/page.css", "/page.js"):
                http("GET", path)
            pair()
            held = socket.create_connection((HOST, PAGE))
            held.sendall(events_request())
            for _ in range(ROUNDS):
                desktop("PC7:Hello")
            # Idle: a page open and nothing happening, for ten seconds.
            time.sleep(1)
            before = cpu_ticks(server)
            time.sleep(10)
            idle = cpu_ticks(server) - before
        memory[settings] = rss_kib(server)
        if settings == "page = on\n":
            load = sum(len(http("GET", p)) for p in ("/", "/page.css", "/page.js"))
            load += len(first_event())
            state = first_event().split(b"data: ", 1)[1].split(b"\n", 1)[0]
            ident = next(c["id"] for c in json.loads(state)["connections"] if c["dialup"])
            flips = iter([True, False] * ROUNDS)
            page = timed(lambda: http("POST", "/sharing",
                                      json.dumps({"id": ident, "share": next(flips)})))
            requests = iter(["PC7:Share:1", "PC7:Unshare:1"] * ROUNDS)
            protocol = timed(lambda: desktop(next(requests)))
            presses = []
            browse = ["/usr/bin/python3", BROWSER, "http://%s:%d/" % (HOST, PAGE),
                      os.path.join(SCRATCH, "profile")]
            subprocess.run(browse + ["pair", "Bench phone", LOG], capture_output=True, check=True)
            for _ in range(5):
                seen = json.loads(subprocess.run(browse + ["share", "My ISP"],
                                                 capture_output=True, text=True).stdout)
                presses.append(seen["press to shown ms"])
                desktop("PC7:Unshare:1")
        held and held.close()
        server.terminate()
        server.wait()
    row("Bytes of the first load (page, style, script, first state)", load, "bytes")
    row("Press of Share to \"shared\" shown, Chromium at 360 px", presses, "ms")
    row("A share or unshare asked by the page", page, "ms")
    row("A share or unshare asked by the desktop protocol (waits its 50 ms)", protocol, "ms")
    row("tarnlow-server-nox's memory (VmRSS) without the page", memory["page = off\n"], "KiB")
    row("tarnlow-server-nox's memory (VmRSS) with the page served and open",
        memory["page = on\n"], "KiB", "at most 2048 KiB more")
    row("Processor time in 10 s with a page open and nothing happening", idle, "ticks", "0")


main()
