#!/usr/bin/python3
"""Runs a command and prints its wall-clock time in seconds, its peak
resident memory in KiB and its exit status: "SECONDS KIB STATUS".
The command's own output goes to the file named by --journal."""

import os
import sys
import time


def main():
    args = sys.argv[1:]
    journal = os.devnull
    if args[:1] == ["--journal"]:
        journal, args = args[1], args[2:]
    with open(journal, "ab") as sortie:
        debut = time.perf_counter()
        pid = os.posix_spawnp(args[0], args, os.environ,
                              file_actions=[(os.POSIX_SPAWN_DUP2, sortie.fileno(), 1),
                                            (os.POSIX_SPAWN_DUP2, sortie.fileno(), 2)])
        _, etat, usage = os.wait4(pid, 0)
        duree = time.perf_counter() - debut
    print("%.3f %d %d" % (duree, usage.ru_maxrss, os.waitstatus_to_exitcode(etat)))


if __name__ == "__main__":
    main()
