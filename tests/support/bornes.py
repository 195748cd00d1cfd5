"""Bounds shared by the test servers: a server ends on SIGTERM, when the
process that started it ends, or on its own after a given number of
seconds, whatever happens to the test."""

import os
import signal
import threading


def borner(vie):
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    minuterie = threading.Timer(vie, lambda: os._exit(0))
    minuterie.daemon = True
    minuterie.start()
    try:
        import ctypes
        ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG
    except (OSError, AttributeError):
        pass
