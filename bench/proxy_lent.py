#!/usr/bin/python3
"""A TCP relay on 127.0.0.1 that stands in for a link with a round trip:
every new connection waits one round trip before it reaches the server, and
every byte waits half a round trip in each direction (the order and the
throughput of the stream are kept).

Usage: proxy_lent.py --vers PORT [--rtt MS] [--journal FILE]
Prints "PORT <n>" once it accepts connections; appends "CONNEXION <n>" to
the journal for each connection accepted. Ends on SIGTERM, or when the
process that started it ends.
"""

import argparse
import asyncio
import os
import signal
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
from bornes import borner  # noqa: E402

ARGS = None
COMPTE = 0


async def retarder(lecteur, ecrivain, demi):
    """Copies lecteur to ecrivain, each chunk delivered demi seconds after it
    arrived."""
    boucle = asyncio.get_running_loop()
    file = asyncio.Queue()

    async def lire():
        try:
            while True:
                bloc = await lecteur.read(65536)
                await file.put((boucle.time() + demi, bloc))
                if not bloc:
                    return
        except (ConnectionError, OSError):
            await file.put((boucle.time() + demi, b""))

    async def ecrire():
        try:
            while True:
                echeance, bloc = await file.get()
                attente = echeance - boucle.time()
                if attente > 0:
                    await asyncio.sleep(attente)
                if not bloc:
                    if ecrivain.can_write_eof():
                        ecrivain.write_eof()
                    return
                ecrivain.write(bloc)
                await ecrivain.drain()
        except (ConnectionError, OSError):
            pass

    await asyncio.gather(lire(), ecrire())


async def servir(client_l, client_e):
    global COMPTE
    COMPTE += 1
    if ARGS.journal:
        with open(ARGS.journal, "a") as f:
            f.write("CONNEXION %d\n" % COMPTE)
    rtt = ARGS.rtt / 1000.0
    # The handshake of the link: one round trip before the first byte.
    await asyncio.sleep(rtt)
    try:
        serveur_l, serveur_e = await asyncio.open_connection("127.0.0.1", ARGS.vers)
    except OSError:
        client_e.close()
        return
    try:
        await asyncio.gather(retarder(client_l, serveur_e, rtt / 2),
                             retarder(serveur_l, client_e, rtt / 2))
    finally:
        for e in (serveur_e, client_e):
            try:
                e.close()
            except OSError:
                pass


async def principal():
    serveur = await asyncio.start_server(servir, "127.0.0.1", ARGS.port)
    print("PORT %d" % serveur.sockets[0].getsockname()[1], flush=True)
    async with serveur:
        await serveur.serve_forever()


def main():
    global ARGS
    p = argparse.ArgumentParser()
    p.add_argument("--vers", type=int, required=True)
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--rtt", type=float, default=20)
    p.add_argument("--journal")
    p.add_argument("--vie", type=float, default=7200)
    ARGS = p.parse_args()
    borner(ARGS.vie)
    asyncio.run(principal())


if __name__ == "__main__":
    main()
