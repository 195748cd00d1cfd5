#pragma once
// The transfer engine on libcurl.
//
// ouvrirurl() drives one libcurl transfer while the Qt event loop keeps
// running: between two turns of the transfer it waits at most a few
// milliseconds for network activity, then handles the pending events, so
// that clicks, repaints and close requests are served mid-transfer. The
// state changes and the progress are delivered on the calling (user
// interface) thread to the fetch's observer, never from inside a libcurl
// callback.
//
// Addresses: http, https and ftp, and file for an address of the product's
// settings (a regular file only, opened without blocking). Blanks at either
// end of an address are dropped. Certificates are verified against the system's store
// and, on top of it, the authorities of CURL_CA_BUNDLE, SSL_CERT_FILE and
// SSL_CERT_DIR; redirects are followed (at most 10, never to a local file,
// never from https to anything but https); proxies come from http_proxy,
// https_proxy and no_proxy, with any authentication scheme the proxy asks
// for. An HTTP status other than 2xx, an FTP error and a body shorter or
// longer than announced fail the fetch, so an error page never reaches the
// sink.
//
// One session for the engine's life: the libcurl handles outlive each fetch,
// so that the connections, TLS sessions, certificate store, DNS answers and
// the proxy's authentication scheme serve every later fetch; HTTP/2 where
// the server offers it. A connection whose fetch failed or was cancelled is
// closed, never reused.
//
// Validators and conditions: each fetch tells its sink the server's ETag,
// modification date (Last-Modified, FTP MDTM), whole length and whether it
// serves ranges, before the first byte. The rest of a file is asked with
// Range and If-Range (FTP: a restart, taken only when the server's date is
// the one the sink holds the start of); a partial answer that is not exactly
// that rest fails the fetch, and a whole file sent instead starts the sink
// over. A conditional fetch sends If-None-Match and If-Modified-Since (FTP:
// the date and length compared) and ends without a body when the file did
// not change. Validators and headers are checked and bounded both ways.
//
// The time-out is a no-progress time-out: a transfer fails when, for that
// many seconds, no byte has arrived and no new state was reached. A slow but
// moving transfer never fails for its length.

#include "platform/transfert.h"

#include <QByteArray>
#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace velorine {

class TransfertCurl : public Transfert {
public:
    // delai: seconds without progress after which a transfer fails (also the
    // connection time-out).
    explicit TransfertCurl(int delai = 60);
    ~TransfertCurl() override;
    TransfertCurl(const TransfertCurl&) = delete;
    TransfertCurl& operator=(const TransfertCurl&) = delete;

    void definirdelai(int secondes);

    // With bavard, each fetch ends with one line on standard error for the
    // network's administrator: "velorine-maj: ADDRESS: " then the server's
    // reply (HTTP status or FTP reply), the bytes, the time, whether a
    // connection of the session was reused, and on failure libcurl's reason.
    // The address is shown without its password.
    void definirbavard(bool bavard) { bavard_ = bavard; }

    // How many fetches may run at once (1: strictly one at a time); fetches
    // ahead run on parallel connections, or multiplexed over HTTP/2.
    void definirparallele(int n);
    int parallele() const override { return parallele_; }
    void anticiper(const QString& adresse, Provenance provenance, Puits& puits) override;
    void oublier() override;
    int delai() const { return delai_; }

    // Throws Echec("annulé") after annuler(), Echec when a fetch is already
    // in progress (a fetch started from an event handled during another).
    void ouvrirurl(const QString& adresse, Provenance provenance, Puits& puits, SuiviTransfert& suivi) override;

    // Safe from any event handler run during ouvrirurl(): the transfer is
    // stopped at the next turn, its connection closed, and no further state
    // or progress of that fetch is delivered.
    void annuler() override;

private:
    struct Session;
    struct Poignees;
    // One fetch in three parts: the handle and its options, the turns of the
    // transfer, the outcome.
    // entier: the whole file, whatever the sink asks.
    void configurer(Session& s, const QString& adresse, Provenance provenance, bool entier = false);
    static void demander(Session& s, const std::string& schema, bool entier);
    void pomper(Session& s) const;
    void terminer(Session& s) const;

    void raconter(const Session& s, const QString& adresse, const char* echec) const;
    Poignees& poignees();
    bool arreteranticipes(const QByteArray& serveur);
    static bool refus(const Session& s);
    bool patienter(Session& s, std::chrono::milliseconds duree) const;

    int delai_;
    bool bavard_ = false;
    int parallele_ = 1;
    std::unique_ptr<Poignees> poignees_;
    // Fetches ahead, in the order they were started. Declared after the
    // handles: gone before them.
    std::vector<std::unique_ptr<Session>> anticipes_;
    // Servers whose fetch ahead failed: fetched one at a time from then on.
    std::set<QByteArray> unaparun_;
    Session* encours_ = nullptr;
};

} // namespace velorine
