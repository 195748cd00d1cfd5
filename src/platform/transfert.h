#pragma once
// The Internet transfer engine: a synchronous fetch of an address that keeps
// the event loop running while it waits, a cancel of the request in progress,
// and the connection states 0 to 12 of the status line, delivered on the user
// interface thread during the fetch.

#include "echec.h"

#include <QString>
#include <cstddef>
#include <functional>

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

class Transfert {
public:
    virtual ~Transfert() = default;

    // Fetches adresse into puits and returns when the whole body has arrived.
    // Throws Echec when the transfer cannot be carried out, was cancelled, or
    // delivered anything but the file (an HTTP status other than 2xx, an FTP
    // error, a body shorter or longer than announced, a local file that is
    // not a regular file); EchecPuits when the sink failed.
    virtual void ouvrirurl(const QString& adresse, Puits& puits) = 0;

    // Cancels the request in progress; does nothing when none runs.
    virtual void annuler() = 0;

    // Whether a fetch may read a local file (a file: address). Only the
    // address the administrator wrote may name one; an address read from a
    // downloaded list never does, so this stays false for those fetches.
    bool fichierslocaux = false;

    // State changes, 0 to 12, as the status line numbers them.
    std::function<void(int)> etatchange;
    // Bytes of the current body received so far, and the announced total
    // (-1 when unknown).
    std::function<void(long long recus, long long total)> progression;
};

} // namespace velorine
