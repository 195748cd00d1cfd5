#!/usr/bin/python3
"""An anonymous, read-only FTP server for tests, on 127.0.0.1 only.

Serves --dossier; binds a free port and prints "PORT <n>" once it accepts
connections. With --max-par-ip N it refuses (421) a client's connections
beyond N at once, as many school servers do. Stops on SIGTERM, or on its own
after --vie seconds.
"""

import argparse
import logging

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

from bornes import borner


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--dossier", required=True)
    p.add_argument("--vie", type=float, default=600)
    p.add_argument("--max-par-ip", type=int, default=0)
    args = p.parse_args()

    logging.basicConfig(level=logging.ERROR)
    autorisations = DummyAuthorizer()
    autorisations.add_anonymous(args.dossier)
    gestionnaire = FTPHandler
    gestionnaire.authorizer = autorisations
    serveur = FTPServer(("127.0.0.1", 0), gestionnaire)
    serveur.max_cons_per_ip = args.max_par_ip

    borner(args.vie)
    print("PORT %d" % serveur.address[1], flush=True)
    serveur.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
