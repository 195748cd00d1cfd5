#pragma once
// The Internet transfer engine: a synchronous fetch of an address that keeps
// the event loop running while it waits, a cancel of the request in progress,
// and the connection states of the status line and the bytes received,
// delivered to the fetch's observer on the user interface thread during the
// fetch.

#include "base/echec.h"

#include <QString>
#include <cstddef>

namespace velorine {

// Receives the body of a fetch as it arrives. Throws Echec when it cannot
// take the bytes (disk full); the engine then stops the transfer and throws
// EchecPuits.
class Puits {
public:
    virtual ~Puits() = default;
    virtual void ecrire(const char* octets, std::size_t nombre) = 0;
};

// A fetch that failed because the sink could not write: a writing failure,
// not a transfer failure.
class EchecPuits : public Echec {
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
    // EchecPuits when the sink failed.
    virtual void ouvrirurl(const QString& adresse, Provenance provenance, Puits& puits, SuiviTransfert& suivi) = 0;

    // Cancels the request in progress; does nothing when none runs.
    virtual void annuler() = 0;
};

} // namespace velorine
