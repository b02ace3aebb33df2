#!/usr/bin/env python3
"""CONNECTIONS clients each send a chunked request whose trailer line never ends, for SECONDS,
reconnecting when the server closes; each stops after CAP_MB megabytes so that a server without
a bound does not take the machine's memory. Prints the bytes sent.
Usage: endless_trailer.py PORT CONNECTIONS SECONDS CAP_MB"""
import socket
import sys
import threading
import time

port, connections, seconds, cap = (int(a) for a in sys.argv[1:5])
HEAD = (b"POST /vorn/a20140220checkmachine/postInfo.php HTTP/1.1\r\nHost: x\r\n"
        b"Transfer-Encoding: chunked\r\n\r\n5\r\nu=123\r\n0\r\nX-Trailer: ")
BLOCK = b"a" * 65536
sent = [0] * connections


def client(i):
    end = time.monotonic() + seconds
    while time.monotonic() < end and sent[i] < cap << 20:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=2) as s:
                s.sendall(HEAD)
                while time.monotonic() < end and sent[i] < cap << 20:
                    s.sendall(BLOCK)
                    sent[i] += len(BLOCK)
        except OSError:
            time.sleep(0.01)


threads = [threading.Thread(target=client, args=(i,)) for i in range(connections)]
for t in threads:
    t.start()
for t in threads:
    t.join()
print(sum(sent))
