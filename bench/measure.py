#!/usr/bin/env python3
"""Runs one command and prints "STATUS SECONDS WRITTEN_BYTES PEAK_KB CPU_SECONDS" on one line.

Usage: measure.py LOG COMMAND [ARG...]

The command's standard output and error go to LOG; its standard input is /dev/null.

SECONDS is the wall-clock time from just before the start to the end of the wait. WRITTEN_BYTES
is what the command and every process below it that was waited for wrote to the file system: the
kernel's write accounting of the children (getrusage(RUSAGE_CHILDREN).ru_oublock, 512-byte
units), which counts each page when it becomes dirty in the page cache, so files removed before
they reach the disk count too, and writes to pipes or terminals do not. A page written twice while
still dirty counts once. PEAK_KB is the largest peak resident size of any of those processes (at
least this script's own, some 14 MB, which the started process inherits until it runs its
program). CPU_SECONDS is the user and system time of those processes, which a busy machine
stretches far less than the wall-clock time. STATUS is the exit code, or 128 + the signal number.
"""
import resource
import subprocess
import sys
import time


def exit_code(status: int) -> int:
    return 128 - status if status < 0 else status


def main() -> int:
    if len(sys.argv) < 3:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    log, command = sys.argv[1], sys.argv[2:]
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    with open(log, "wb") as out, open("/dev/null", "rb") as null:
        start = time.perf_counter()
        try:
            status = exit_code(
                subprocess.call(command, stdin=null, stdout=out, stderr=subprocess.STDOUT))
        except OSError as error:
            out.write(f"cannot start {command[0]}: {error}\n".encode())
            status = 127
        seconds = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    written = (after.ru_oublock - before.ru_oublock) * 512
    cpu = (after.ru_utime + after.ru_stime) - (before.ru_utime + before.ru_stime)
    print(f"{status} {seconds:.3f} {written} {after.ru_maxrss} {cpu:.3f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
