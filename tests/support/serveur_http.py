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
  /apres/K/N              N bytes generated on the fly, once K other
                          requests have been answered in full (at most 30 s
                          of waiting): a fetch that ends after others
  /sanslongueur/N         N bytes without a Content-Length, then closes
  /long/N/TOTAL           announces TOTAL bytes, sends N (more), then closes
  /gzip/N                 N bytes of the pattern, gzip-compressed, sent with
                          Content-Encoding: gzip whatever the client asked
  /prive/PATH             the file PATH, once the client has proved with
                          Digest authentication (MD5, qop auth) that it knows
                          the credentials of --digest USER:PASS; anything
                          else gets 401 and a Digest challenge

With --keepalive the server speaks HTTP/1.1 and keeps each connection for
the client's next requests, logging "CONNEXION" for each new one (the
bodies without a length, and the short or long ones, still end their
connection).

A file is served with its validators (ETag, Last-Modified) and
"Accept-Ranges: bytes"; it honours "Range: bytes=N-" (206, or 416 past its
end) under If-Range (a tag or a date: 200 and the whole file when the file
changed), and If-None-Match / If-Modified-Since (304). In front of a file's
path:

  /coupeunefois/PATH      the first request sends up to the file's middle,
                          then resets the connection; later ones are served
  /moitie/PATH            sends up to the file's middle, then waits for the
                          client to close
  /moitieunefois/PATH     the first request as /moitie, later ones served
  /sansplages/PATH        no Accept-Ranges, and Range is ignored (200)
  /sansetag/PATH          no ETag: Last-Modified only
  /ignoresi/MODE/PATH     If-Range is ignored: a Range always gets the rest
                          of the file as it is now (206), with its validators
                          (MODE "etag"), its date only ("date"), or none
                          ("aucun")
  /faux206/MODE/PATH      a Range gets a 206 that lies: MODE "debut" (another
                          start), "total" (another total), "multi" (a
                          multipart answer), "longueur" (a Content-Length
                          that is not the part's)

With --ignoresi every file is served as under /ignoresi/etag. With
--retenir FLAG, a request for a file beneath a folder "version-N" is held
(logged "RETENU <path>") while the file FLAG exists, 60 s at most.

A missing file gets 404 with an HTML page. A request for an absolute address
(the client takes this server for its proxy) is served from the same tree;
with --proxy-auth USER:PASS it first asks for Basic proxy credentials (407).
A CONNECT (a tunnel for https) gets that 407 too without the credentials,
and with them a 502: no tunnel is ever made.

Events go to --journal, one line each: "GET <path>", "PROXY <path>",
"FERME <path>" when a client closed a connection that the server held open,
"AUTH401 <path>" for a refused request to /prive, "ENCODAGES <header>" with
the Accept-Encoding of a request to /gzip, "PLAGE <path> <Range> SI <If-Range>"
for a file request with a Range, "CONDITION <path> <If-None-Match> |
<If-Modified-Since>" for a conditional one, "STATUT <path> <code>" for a
file's 206, 304 or 416, and with --compte "ENVOYE <path> <n>": the bytes of
the file's body sent.
The server stops on SIGTERM, or on its own after --vie seconds.
"""

import argparse
import base64
import email.utils
import gzip
import hashlib
import http.server
import os
import re
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
COUPES = set()
COUPES_LOCK = threading.Lock()


# The requests answered in full so far, for /apres.
REPONDUES = 0
REPONDUES_COND = threading.Condition()


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


NONCE = os.urandom(16).hex()
ROYAUME = "velorine"


def md5(texte):
    return hashlib.md5(texte.encode()).hexdigest()


def digest_valide(entete, methode):
    """Whether an Authorization header answers the Digest challenge for the
    credentials of --digest."""
    if not ARGS.digest or not entete.startswith("Digest "):
        return False
    p = {m[0]: m[1] or m[2] for m in re.findall(r'(\w+)=(?:"([^"]*)"|([^\s,]*))', entete[7:])}
    utilisateur, mot = ARGS.digest.split(":", 1)
    if p.get("username") != utilisateur or p.get("nonce") != NONCE or "uri" not in p:
        return False
    ha1 = md5("%s:%s:%s" % (utilisateur, ROYAUME, mot))
    ha2 = md5("%s:%s" % (methode, p["uri"]))
    if p.get("qop") == "auth":
        attendu = md5(":".join([ha1, NONCE, p.get("nc", ""), p.get("cnonce", ""), "auth", ha2]))
    else:
        attendu = md5("%s:%s:%s" % (ha1, NONCE, ha2))
    return p.get("response") == attendu


class Gestionnaire(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    server_version = "velorine-test"

    def log_message(self, *args):
        pass

    def setup(self):
        super().setup()
        if ARGS.keepalive:
            journal("CONNEXION")

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

    def do_CONNECT(self):
        if ARGS.proxy_auth:
            attendu = "Basic " + base64.b64encode(ARGS.proxy_auth.encode()).decode()
            if self.headers.get("Proxy-Authorization") != attendu:
                journal("PROXY407 CONNECT " + self.path)
                self.page(407, "Proxy Authentication Required",
                          [("Proxy-Authenticate", 'Basic realm="velorine"')])
                return
        journal("CONNECT " + self.path)
        self.page(502, "Bad Gateway")

    def do_GET(self):
        try:
            self.servir()
        finally:
            try:
                self.wfile.flush()
            except OSError:
                pass
            global REPONDUES
            with REPONDUES_COND:
                REPONDUES += 1
                REPONDUES_COND.notify_all()

    def servir(self):
        chemin = self.path
        if chemin.startswith(("http://", "https://", "ftp://")):
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
        if ARGS.retenir and any(re.fullmatch(r"version-\d+", p) for p in parties[:-1]):
            journal("RETENU " + url.path)
            fin = time.monotonic() + 60
            while os.path.exists(ARGS.retenir) and time.monotonic() < fin:
                time.sleep(0.05)
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
                self.close_connection = True
            elif parties[:1] == ["bloque"] and len(parties) == 2:
                n = int(parties[1])
                self.entetes(200, n + 1000)
                self.wfile.write(motif(0, n))
                self.attendre_fermeture(url.path)
            elif url.path == "/muet":
                self.attendre_fermeture(url.path)
            elif (parties[:1] == ["gros"] and len(parties) == 2) or (parties[:1] == ["apres"] and len(parties) == 3):
                if parties[0] == "apres":
                    k = int(parties[1])
                    with REPONDUES_COND:
                        REPONDUES_COND.wait_for(lambda: REPONDUES >= k, timeout=30)
                n = int(parties[-1])
                self.entetes(200, n)
                envoyes = 0
                while envoyes < n:
                    bloc = motif(envoyes, min(1 << 20, n - envoyes))
                    self.wfile.write(bloc)
                    envoyes += len(bloc)
            elif parties[:1] == ["gzip"] and len(parties) == 2:
                journal("ENCODAGES " + self.headers.get("Accept-Encoding", ""))
                corps = gzip.compress(motif(0, int(parties[1])))
                self.entetes(200, len(corps), extra=[("Content-Encoding", "gzip")])
                self.wfile.write(corps)
            elif parties[:1] == ["prive"]:
                if not digest_valide(self.headers.get("Authorization", ""), "GET"):
                    journal("AUTH401 " + url.path)
                    defi = 'Digest realm="%s", qop="auth", nonce="%s", algorithm=MD5' % (ROYAUME, NONCE)
                    self.page(401, "Unauthorized", [("WWW-Authenticate", defi)])
                    return
                self.fichier(urllib.parse.unquote(url.path[len("/prive"):]))
            elif parties[:1] == ["long"] and len(parties) == 3:
                self.entetes(200, int(parties[2]))
                self.wfile.write(motif(0, int(parties[1])))
                self.close_connection = True
            elif parties[:1] == ["sanslongueur"] and len(parties) == 2:
                self.close_connection = True
                self.entetes(200, None, extra=[("Connection", "close")])
                self.wfile.write(motif(0, int(parties[1])))
            elif parties[:1] == ["coupeunefois"] and len(parties) >= 2:
                reste = "/" + "/".join(parties[1:])
                with COUPES_LOCK:
                    premiere = reste not in COUPES
                    COUPES.add(reste)
                self.fichier(urllib.parse.unquote(reste), coupe=premiere)
            elif parties[:1] == ["moitie"] and len(parties) >= 2:
                reste = "/" + "/".join(parties[1:])
                self.fichier(urllib.parse.unquote(reste), coupe=True, attendre=True)
            elif parties[:1] == ["moitieunefois"] and len(parties) >= 2:
                reste = "/" + "/".join(parties[1:])
                with COUPES_LOCK:
                    premiere = reste not in COUPES
                    COUPES.add(reste)
                self.fichier(urllib.parse.unquote(reste), coupe=premiere, attendre=premiere)
            elif parties[:1] == ["sansplages"] and len(parties) >= 2:
                self.fichier(urllib.parse.unquote("/" + "/".join(parties[1:])), plages=False)
            elif parties[:1] == ["sansetag"] and len(parties) >= 2:
                self.fichier(urllib.parse.unquote("/" + "/".join(parties[1:])), etag=False)
            elif parties[:1] == ["ignoresi"] and len(parties) >= 3:
                mode = parties[1]
                self.fichier(urllib.parse.unquote("/" + "/".join(parties[2:])), etag=mode == "etag",
                             date=mode != "aucun", ignoresi=True)
            elif parties[:1] == ["faux206"] and len(parties) >= 3:
                self.fichier(urllib.parse.unquote("/" + "/".join(parties[2:])), faux=parties[1])
            else:
                self.fichier(urllib.parse.unquote(url.path))
        except (BrokenPipeError, ConnectionResetError):
            journal("FERME " + url.path)

    def fichier(self, chemin, coupe=False, plages=True, etag=True, faux=None, attendre=False, date=True,
                ignoresi=False):
        racine = os.path.realpath(ARGS.dossier or ".")
        cible = os.path.realpath(os.path.join(racine, chemin.lstrip("/")))
        if not (cible == racine or cible.startswith(racine + os.sep)) or not os.path.isfile(cible):
            self.page(404, "Not Found")
            return
        with open(cible, "rb") as f:
            st = os.fstat(f.fileno())
            taille = st.st_size
            balise = '"%x-%x"' % (st.st_mtime_ns, taille)
            datemodif = email.utils.formatdate(int(st.st_mtime), usegmt=True)
            validateurs = [("Last-Modified", datemodif)] if date else []
            if etag:
                validateurs.append(("ETag", balise))
            if plages:
                validateurs.append(("Accept-Ranges", "bytes"))

            nm = self.headers.get("If-None-Match")
            ms = self.headers.get("If-Modified-Since")
            if nm is not None or ms is not None:
                journal("CONDITION %s %s | %s" % (chemin, nm or "", ms or ""))
                if nm is not None:
                    inchange = etag and balise in [v.strip() for v in nm.split(",")]
                else:
                    try:
                        inchange = int(st.st_mtime) <= email.utils.parsedate_to_datetime(ms).timestamp()
                    except (TypeError, ValueError):
                        inchange = False
                if inchange:
                    journal("STATUT %s 304" % chemin)
                    self.entetes(304, None, extra=validateurs)
                    return

            debut = 0
            plage = self.headers.get("Range")
            if plage is not None:
                si = self.headers.get("If-Range")
                journal("PLAGE %s %s SI %s" % (chemin, plage, si or ""))
                m = re.fullmatch(r"bytes=(\d+)-", plage.strip())
                if si is None or ignoresi or ARGS.ignoresi:
                    valable = True
                elif si.startswith('"') or si.startswith("W/"):
                    valable = etag and si == balise
                else:
                    valable = si == datemodif
                if plages and m and valable:
                    debut = int(m.group(1))
                    if debut >= taille:
                        journal("STATUT %s 416" % chemin)
                        self.entetes(416, 0, extra=[("Content-Range", "bytes */%d" % taille)])
                        return
            if debut > 0:
                journal("STATUT %s 206" % chemin)
                longueur = taille - debut
                domaine = "bytes %d-%d/%d" % (debut, taille - 1, taille)
                type_ = "application/octet-stream"
                if faux == "debut":
                    domaine = "bytes %d-%d/%d" % (debut - 1, taille - 1, taille)
                    longueur += 1
                    debut -= 1
                elif faux == "total":
                    domaine = "bytes %d-%d/%d" % (debut, taille - 1, taille + 10)
                elif faux == "longueur":
                    longueur -= 1
                elif faux == "multi":
                    domaine = None
                    type_ = "multipart/byteranges; boundary=XYZ"
                extra = list(validateurs)
                if domaine:
                    extra.append(("Content-Range", domaine))
                self.entetes(206, longueur, type_, extra)
                fin = debut + longueur
            else:
                self.entetes(200, taille, extra=validateurs)
                fin = taille
            self.wfile.flush()
            if coupe:
                fin = min(fin, taille // 2)
            envoyes = debut
            try:
                if isinstance(self.connection, ssl.SSLSocket):
                    f.seek(debut)
                    while envoyes < fin:
                        bloc = f.read(min(1 << 20, fin - envoyes))
                        if not bloc:
                            break
                        self.wfile.write(bloc)
                        envoyes += len(bloc)
                else:
                    # The kernel sends the file: fast enough for benchmarks.
                    while envoyes < fin:
                        n = os.sendfile(self.connection.fileno(), f.fileno(), envoyes, fin - envoyes)
                        if n == 0:
                            break
                        envoyes += n
            finally:
                if ARGS.compte:
                    journal("ENVOYE %s %d" % (chemin, envoyes - debut))
            if attendre:
                self.attendre_fermeture(chemin)
            elif coupe:
                # An abrupt end at the middle: the connection is reset.
                self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                self.connection.close()
                self.close_connection = True


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
    p.add_argument("--digest")
    p.add_argument("--keepalive", action="store_true")
    p.add_argument("--compte", action="store_true")
    p.add_argument("--ignoresi", action="store_true")
    p.add_argument("--retenir")
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--vie", type=float, default=600)
    ARGS = p.parse_args()

    if ARGS.keepalive:
        Gestionnaire.protocol_version = "HTTP/1.1"
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
