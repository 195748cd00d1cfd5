#!/usr/bin/python3
"""An anonymous, read-only FTP server for tests, on 127.0.0.1 only.

Serves --dossier; binds a free port and prints "PORT <n>" once it accepts
connections. Stops on SIGTERM, or on its own after --vie seconds.
"""

import argparse
import logging
import os
import signal
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def mourir_avec_le_parent():
    """Ends this server when the process that started it ends."""
    try:
        import ctypes
        ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG
    except (OSError, AttributeError):
        pass


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--dossier", required=True)
    p.add_argument("--vie", type=float, default=600)
    args = p.parse_args()

    logging.basicConfig(level=logging.ERROR)
    autorisations = DummyAuthorizer()
    autorisations.add_anonymous(args.dossier)
    gestionnaire = FTPHandler
    gestionnaire.authorizer = autorisations
    serveur = FTPServer(("127.0.0.1", 0), gestionnaire)

    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    vie = threading.Timer(args.vie, lambda: os._exit(0))
    vie.daemon = True
    vie.start()
    mourir_avec_le_parent()
    print("PORT %d" % serveur.address[1], flush=True)
    serveur.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
