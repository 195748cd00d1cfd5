#pragma once
// The Internet transfer engine: a synchronous fetch of an address that keeps
// the event loop running while it waits, a cancel of the request in progress,
// and the connection states of the status line and the bytes received,
// delivered to the fetch's observer on the user interface thread during the
// fetch.

#include "base/echec.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <cstddef>

namespace velorine {

// What a server tells of a file, kept to ask it later whether the file
// changed, or for the rest of it.
struct Validateurs {
    // The entity tag, as sent (quotes included); empty when none.
    QByteArray etag;
    // The modification date (Last-Modified, or the FTP server's MDTM), in
    // seconds since 1970; -1 when none.
    long long datemodif = -1;
    // The whole file's length; -1 when unknown.
    long long longueur = -1;
    // The server serves byte ranges of the file.
    bool plages = false;

    bool operator==(const Validateurs&) const = default;
};

// What a sink asks of its fetch, before the fetch starts.
struct Requete {
    // From byte debut on, when the file is still the one si describes
    // (Range with If-Range; FTP: a restart when its date is si's): the sink
    // already holds the bytes before debut. When the server sends the whole
    // file instead, the sink is told recommencer() first. 0: the whole file.
    long long debut = 0;
    // Only when the file changed since si (If-None-Match, If-Modified-Since;
    // FTP: its date): otherwise the sink is told inchange(), no body comes
    // and the fetch succeeds.
    bool sichange = false;
    Validateurs si;
};

// An address as logs and reasons show it: escaped, so that it writes no
// control character to a terminal, and without its password.
inline QString adressemontree(const QString& adresse)
{
    return QUrl(QString(adresse).replace(u' ', QStringLiteral("%20")), QUrl::TolerantMode)
        .toString(QUrl::RemovePassword | QUrl::FullyEncoded);
}

// Receives the body of a fetch as it arrives. Throws Echec when it cannot
// take the bytes (disk full); the engine then stops the transfer and throws
// EchecPuits.
class Puits {
public:
    virtual ~Puits() = default;
    virtual void ecrire(const char* octets, std::size_t nombre) = 0;
    // Forgets the bytes taken so far: the fetch starts again. A sink given
    // to Transfert::anticiper() must support it.
    virtual void recommencer() {}

    // Asked once before the fetch starts (and again if it starts over).
    virtual Requete requete() const { return {}; }
    // The validators of the file being sent, told before its first byte
    // (for an empty body, before the fetch ends).
    virtual void validateurs(const Validateurs& v) { (void)v; }
    // The file has not changed since the requete's si: no body follows.
    virtual void inchange() {}
};

// A fetch that failed because the sink could not write: a writing failure,
// not a transfer failure.
class EchecPuits : public Echec {
public:
    using Echec::Echec;
};

// A fetch that failed because the server says the file does not exist
// (HTTP 404 or 410, an FTP server's "no such file", a missing local file):
// for a file that a publisher may or may not serve.
class EchecAbsent : public Echec {
public:
    using Echec::Echec;
};

// The connection states of a transfer, numbered as the status line numbers
// them.
enum class EtatTransfert : int {
    Aucun = 0,          // no activity
    Recherche = 1,      // looking up the host
    HoteTrouve = 2,     // host address found
    Connexion = 3,      // connecting
    Connecte = 4,       // connected
    Demande = 5,        // sending the request
    DemandeEnvoyee = 6, // request sent
    Reponse = 7,        // receiving the response
    Reception = 8,      // receiving the data
    Deconnexion = 9,    // disconnecting
    Deconnecte = 10,    // disconnected
    Erreur = 11,        // communication error
    Termine = 12,       // response complete
};

// Follows one fetch: its state changes, and the bytes of the body received so
// far with the announced total (-1 when unknown). Told on the calling thread,
// during the fetch only.
class SuiviTransfert {
public:
    virtual ~SuiviTransfert() = default;
    virtual void etatchange(EtatTransfert etat) { (void)etat; }
    virtual void progression(long long recus, long long total)
    {
        (void)recus;
        (void)total;
    }
};

// Where an address comes from. Only the product's own settings, which the
// administrator wrote, may name a local file (a file: address); an address
// read from a downloaded list is http, https or ftp, whatever it says.
enum class Provenance { Reglages, Liste };

class Transfert {
public:
    virtual ~Transfert() = default;

    // Fetches adresse into puits and returns when the whole body has arrived;
    // suivi is told of its states and progress meanwhile. Throws Echec when
    // the transfer cannot be carried out, was cancelled, or delivered
    // anything but the file (an HTTP status other than 2xx, an FTP error, a
    // body shorter or longer than announced, a local file that is not a
    // regular file, a local file named by an address read from a list);
    // EchecAbsent when the server says there is no such file; EchecPuits
    // when the sink failed.
    virtual void ouvrirurl(const QString& adresse, Provenance provenance, Puits& puits, SuiviTransfert& suivi) = 0;

    // Cancels the request in progress and every fetch ahead; does nothing
    // when none runs.
    virtual void annuler() = 0;

    // Fetching ahead. How many fetches may run at once: the one whose turn
    // it is and parallele() - 1 later ones; 1 is strictly one at a time.
    virtual int parallele() const { return 1; }
    // Starts fetching adresse into puits before its turn; the transfer moves
    // while ouvrirurl() runs. ouvrirurl() with the same address, provenance and sink
    // later takes it over: the states and bytes reached are told then, in
    // order, and it goes on from there. A fetch ahead that failed is started
    // again at its turn (puits.recommencer()), as a one-at-a-time run would
    // fetch it, and its server gets no more fetches ahead. Never throws; an
    // engine that fetches one at a time ignores it.
    virtual void anticiper(const QString& adresse, Provenance provenance, Puits& puits)
    {
        (void)adresse;
        (void)provenance;
        (void)puits;
    }
    // Stops every fetch ahead and forgets their sinks; called before those
    // sinks go.
    virtual void oublier() {}
};

} // namespace velorine
