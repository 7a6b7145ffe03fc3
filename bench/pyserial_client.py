#!/usr/bin/python3
"""The poll cycle as a user might script it with pyserial: open, "R", read to the CR, close.
Debian's python3-serial, hence Debian's interpreter.

Usage: pyserial_client.py LINK CYCLES
Prints "cycle <wall ns>" for each measured cycle, then
"cpu_ns <process CPU ns over the measured cycles> cycles <n> failures <n>".
"""
import sys
import time

import serial

REPLY_BOUND_S = 2.0
WARM_UP_CYCLES = 5


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: pyserial_client.py LINK CYCLES")
    link, cycles = sys.argv[1], int(sys.argv[2])
    failures = 0
    cpu_start = 0
    for i in range(WARM_UP_CYCLES + cycles):
        if i == WARM_UP_CYCLES:
            cpu_start = time.process_time_ns()
        start = time.perf_counter_ns()
        with serial.Serial(link, 9600, timeout=REPLY_BOUND_S) as port:
            port.write(b"R")
            reply = port.read_until(b"\r")
        wall = time.perf_counter_ns() - start
        if not reply.endswith(b"\r"):
            failures += 1
        if i >= WARM_UP_CYCLES:
            print("cycle", wall)
    print("cpu_ns", time.process_time_ns() - cpu_start, "cycles", cycles, "failures", failures)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
