#!/usr/bin/python3
"""A stand-in for systemd's notification socket, for tests of the program as a service.

usage: notify-socket.py PATH

Binds a datagram socket at PATH, prints "ready", then one line per message received:
"<seconds on the monotonic clock> <message>". Ends on SIGTERM, or when its standard input closes, so that
it never outlives the test that started it.
"""
import os
import select
import socket
import sys
import time

path = sys.argv[1]
receiver = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
receiver.bind(path)
print("ready", flush=True)
while True:
    readable, _, _ = select.select([receiver, sys.stdin], [], [])
    if sys.stdin in readable and not os.read(sys.stdin.fileno(), 4096):
        break
    if receiver in readable:
        message = receiver.recv(4096).decode(errors="replace")
        print(f"{time.monotonic():.3f} {message}", flush=True)
