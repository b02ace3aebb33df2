#!/usr/bin/env python3
"""Attacks on the report server's slots and header memory, measured from outside.

hoard PORT SECONDS BODIES: 16 addresses (127.0.1.1-16) hold 64 kept-alive connections each, every one
sending a small GET every 2 s, while one other address (127.0.2.1) posts good reports (from BODIES,
made by make_reports.py), one connection each, as the program does; prints the reports recorded a second and the 503s.
headers PORT PID: 1,024 connections (16 addresses x 64) each send 4,050 header lines "a:" and a
64 KB body and are held open; prints the server's resident memory before, at its peak and 2 s
after they close.
"""
import os
import selectors
import socket
import sys
import time

HOLD = b"GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n"


def connect(port, source):
    s = socket.socket()
    s.bind((source, 0))
    s.connect(("127.0.0.1", port))
    return s


def hoard(port, seconds, bodies):
    held = []
    for a in range(1, 17):
        for _ in range(64):
            try:
                held.append(connect(port, f"127.0.1.{a}"))
            except OSError:
                break
    sel = selectors.DefaultSelector()
    for s in held:
        s.setblocking(False)
        sel.register(s, selectors.EVENT_READ)
    recorded = repeated = refused = other = 0
    end = time.time() + seconds
    next_round = 0.0
    lines = open(bodies, "rb").read().splitlines()
    i = 0
    while time.time() < end:
        if time.time() >= next_round:
            for s in held:
                try:
                    s.send(HOLD)
                except OSError:
                    pass
            next_round = time.time() + 2
        for key, _ in sel.select(timeout=0):
            try:
                if not key.fileobj.recv(65536):
                    sel.unregister(key.fileobj)
            except OSError:
                sel.unregister(key.fileobj)
        body = lines[i % len(lines)]
        i += 1
        try:
            c = connect(port, "127.0.2.1")
            c.settimeout(5)
            c.sendall(b"POST /vorn/a20140220checkmachine/postInfo.php HTTP/1.0\r\n"
                      b"Content-Type: application/x-www-form-urlencoded\r\nContent-Length: "
                      + str(len(body)).encode() + b"\r\n\r\n" + body)
            reply = b""
            while True:
                part = c.recv(65536)
                if not part:
                    break
                reply += part
            c.close()
        except OSError:
            reply = b""
        if b'"ret_code":0' in reply:
            recorded += 1
        elif b'"ret_code":-1' in reply:
            repeated += 1
        elif b" 503 " in reply[:16]:
            refused += 1
        else:
            other += 1
    for s in held:
        s.close()
    print(f"{recorded / seconds:.0f} recorded/s, {repeated} repeated, {refused} refused 503, "
          f"{other} other, "
          f"{len(held)} hoarding connections")


def rss(pid):
    with open(f"/proc/{pid}/status") as status:
        fields = dict(line.split(":", 1) for line in status)
    return int(fields["VmRSS"].split()[0]) // 1024


def headers(port, pid):
    before = rss(pid)
    request = (b"POST /vorn/a20140220checkmachine/postInfo.php HTTP/1.1\r\nHost: x\r\n"
               + b"a:\r\n" * 4050 + b"Content-Length: 65536\r\n\r\n")
    body = b"u=" + b"b" * 65534
    held, peak = [], before
    for a in range(1, 17):
        for _ in range(64):
            try:
                s = connect(port, f"127.0.3.{a}")
                s.setblocking(False)
                for part in (request, body):
                    try:
                        s.send(part)
                    except OSError:
                        pass
                held.append(s)
            except OSError:
                pass
        peak = max(peak, rss(pid))
    for _ in range(20):
        time.sleep(0.1)
        peak = max(peak, rss(pid))
    for s in held:
        s.close()
    time.sleep(2)
    print(f"resident {before} MB before, {peak} MB peak with {len(held)} connections, "
          f"{rss(pid)} MB 2 s after they closed")


if __name__ == "__main__":
    if sys.argv[1] == "hoard":
        hoard(int(sys.argv[2]), float(sys.argv[3]), sys.argv[4])
    else:
        headers(int(sys.argv[2]), int(sys.argv[3]))
