#!/usr/bin/python3
"""A small HTTP server for tests and benchmarks, on 127.0.0.1 only.

It binds a free port (or the one of --port) and prints "PORT <n>" on its
first line of output once it accepts connections. It serves the files of
--dossier, and these special paths:

  /redirige?vers=PATH     302 to PATH
  /boucle                 302 to itself, for ever
  /erreur/CODE            that status, with a small HTML page
  /coupe/N/TOTAL          announces TOTAL bytes, sends N, then resets the
                          connection
  /court/N/TOTAL          announces TOTAL bytes, sends N, then closes cleanly
  /bloque/N               announces N + 1000 bytes, sends N, then waits for
                          the client to close
  /muet                   reads the request and never answers
  /gros/N                 N bytes generated on the fly
  /sanslongueur/N         N bytes without a Content-Length, then closes
  /long/N/TOTAL           announces TOTAL bytes, sends N (more), then closes

A missing file gets 404 with an HTML page. A request for an absolute address
(the client takes this server for its proxy) is served from the same tree;
with --proxy-auth USER:PASS it first asks for Basic proxy credentials (407).

Events go to --journal, one line each: "GET <path>", "PROXY <path>",
"FERME <path>" when a client closed a connection that the server held open.
The server stops on SIGTERM, or on its own after --vie seconds.
"""

import argparse
import base64
import http.server
import os
import select
import socket
import ssl
import struct
import sys
import threading
import time
import urllib.parse

from bornes import borner

ARGS = None
JOURNAL_LOCK = threading.Lock()


def journal(ligne):
    if not ARGS.journal:
        return
    with JOURNAL_LOCK:
        with open(ARGS.journal, "a", encoding="utf-8") as f:
            f.write(ligne + "\n")
            f.flush()


def motif(debut, n):
    """n bytes of a repeating pattern, as found at offset debut of a body."""
    bloc = bytes(range(256)) * 4096  # 1 MiB
    decalage = debut % 256
    sortie = bytearray()
    while len(sortie) < n:
        sortie += bloc[decalage:decalage + (n - len(sortie))]
        decalage = 0
    return bytes(sortie)


class Gestionnaire(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    server_version = "velorine-test"

    def log_message(self, *args):
        pass

    def entetes(self, code, longueur, type_="application/octet-stream", extra=()):
        self.send_response(code)
        self.send_header("Content-Type", type_)
        if longueur is not None:
            self.send_header("Content-Length", str(longueur))
        for nom, valeur in extra:
            self.send_header(nom, valeur)
        self.end_headers()

    def page(self, code, texte, extra=()):
        corps = ("<html><body><h1>%d</h1><p>%s</p></body></html>\n" % (code, texte)).encode()
        self.entetes(code, len(corps), "text/html", extra)
        self.wfile.write(corps)

    def attendre_fermeture(self, chemin):
        """Holds the connection until the client closes it (at most 120 s)."""
        self.wfile.flush()
        fin = time.monotonic() + 120
        self.connection.setblocking(False)
        while time.monotonic() < fin:
            prets, _, _ = select.select([self.connection], [], [], 0.2)
            if prets:
                try:
                    donnees = self.connection.recv(65536)
                except (BlockingIOError, InterruptedError):
                    continue
                except OSError:
                    donnees = b""
                if not donnees:
                    journal("FERME " + chemin)
                    return
        journal("TEMPS " + chemin)

    def do_GET(self):
        chemin = self.path
        if chemin.startswith("http://") or chemin.startswith("https://"):
            if ARGS.proxy_auth:
                attendu = "Basic " + base64.b64encode(ARGS.proxy_auth.encode()).decode()
                if self.headers.get("Proxy-Authorization") != attendu:
                    journal("PROXY407 " + chemin)
                    self.page(407, "Proxy Authentication Required",
                              [("Proxy-Authenticate", 'Basic realm="velorine"')])
                    return
            journal("PROXY " + chemin)
            chemin = urllib.parse.urlsplit(chemin).path or "/"
        else:
            journal("GET " + chemin)

        url = urllib.parse.urlsplit(chemin)
        parties = [p for p in url.path.split("/") if p]
        try:
            if url.path == "/redirige":
                vers = urllib.parse.parse_qs(url.query).get("vers", ["/"])[0]
                self.entetes(302, 0, extra=[("Location", vers)])
            elif url.path == "/boucle":
                self.entetes(302, 0, extra=[("Location", "/boucle")])
            elif parties[:1] == ["erreur"] and len(parties) == 2:
                self.page(int(parties[1]), "Erreur du serveur de test")
            elif parties[:1] == ["coupe"] and len(parties) == 3:
                self.entetes(200, int(parties[2]))
                self.wfile.write(motif(0, int(parties[1])))
                self.wfile.flush()
                # An abrupt end: the connection is reset.
                self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                                           struct.pack("ii", 1, 0))
                self.connection.close()
                self.close_connection = True
            elif parties[:1] == ["court"] and len(parties) == 3:
                self.entetes(200, int(parties[2]))
                self.wfile.write(motif(0, int(parties[1])))
            elif parties[:1] == ["bloque"] and len(parties) == 2:
                n = int(parties[1])
                self.entetes(200, n + 1000)
                self.wfile.write(motif(0, n))
                self.attendre_fermeture(url.path)
            elif url.path == "/muet":
                self.attendre_fermeture(url.path)
            elif parties[:1] == ["gros"] and len(parties) == 2:
                n = int(parties[1])
                self.entetes(200, n)
                envoyes = 0
                while envoyes < n:
                    bloc = motif(envoyes, min(1 << 20, n - envoyes))
                    self.wfile.write(bloc)
                    envoyes += len(bloc)
            elif parties[:1] == ["long"] and len(parties) == 3:
                self.entetes(200, int(parties[2]))
                self.wfile.write(motif(0, int(parties[1])))
            elif parties[:1] == ["sanslongueur"] and len(parties) == 2:
                self.entetes(200, None)
                self.wfile.write(motif(0, int(parties[1])))
            else:
                self.fichier(urllib.parse.unquote(url.path))
        except (BrokenPipeError, ConnectionResetError):
            journal("FERME " + url.path)

    def fichier(self, chemin):
        racine = os.path.realpath(ARGS.dossier or ".")
        cible = os.path.realpath(os.path.join(racine, chemin.lstrip("/")))
        if not (cible == racine or cible.startswith(racine + os.sep)) or not os.path.isfile(cible):
            self.page(404, "Not Found")
            return
        with open(cible, "rb") as f:
            taille = os.fstat(f.fileno()).st_size
            self.entetes(200, taille)
            self.wfile.flush()
            envoyes = 0
            if isinstance(self.connection, ssl.SSLSocket):
                while envoyes < taille:
                    bloc = f.read(1 << 20)
                    if not bloc:
                        break
                    self.wfile.write(bloc)
                    envoyes += len(bloc)
                return
            # The kernel sends the file: fast enough for benchmarks.
            while envoyes < taille:
                n = os.sendfile(self.connection.fileno(), f.fileno(), envoyes, taille - envoyes)
                if n == 0:
                    break
                envoyes += n


class Serveur(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    global ARGS
    p = argparse.ArgumentParser()
    p.add_argument("--dossier")
    p.add_argument("--journal")
    p.add_argument("--tls", nargs=2, metavar=("CERT", "CLE"))
    p.add_argument("--proxy-auth")
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--vie", type=float, default=600)
    ARGS = p.parse_args()

    serveur = Serveur(("127.0.0.1", ARGS.port), Gestionnaire)
    if ARGS.tls:
        contexte = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        contexte.load_cert_chain(ARGS.tls[0], ARGS.tls[1])
        serveur.socket = contexte.wrap_socket(serveur.socket, server_side=True)

    borner(ARGS.vie)
    print("PORT %d" % serveur.server_address[1], flush=True)
    serveur.serve_forever()


if __name__ == "__main__":
    main()
