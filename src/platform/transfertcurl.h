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
// settings (a regular file only, opened without blocking). Blanks at either end of an
// address are dropped. Certificates are verified against the system's store
// (or the file of CURL_CA_BUNDLE or SSL_CERT_FILE, the folder of
// SSL_CERT_DIR); redirects are followed (at most 10, never to a local file,
// never from https to anything but https); proxies come from http_proxy,
// https_proxy and no_proxy, with any authentication scheme the proxy asks
// for. An HTTP status other than 2xx, an FTP error and a body shorter or
// longer than announced fail the fetch, so an error page never reaches the
// sink.
//
// The time-out is a no-progress time-out: a transfer fails when, for that
// many seconds, no byte has arrived and no new state was reached. A slow but
// moving transfer never fails for its length.

#include "platform/transfert.h"

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
    // One fetch in three parts: the handle and its options, the turns of the
    // transfer, the outcome.
    void configurer(Session& s, const QString& adresse, Provenance provenance) const;
    void pomper(Session& s) const;
    void terminer(Session& s) const;

    int delai_;
    Session* encours_ = nullptr;
};

} // namespace velorine
