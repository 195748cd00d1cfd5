#pragma once
// Proof of origin in the update run. When the configuration folder (or, on
// a publisher's machine, the product folder) holds the publisher's minisign
// public key (VELORINE.PUB, any letter case), the update
// list must come with a manifest of SHA-256 sums signed by that key, served
// at the list's address followed by ".sha256" (the manifest) and
// ".sha256.minisig" (its signature); the list and every file it names are
// then put in place only when their sums are the manifest's. Without the key
// file nothing more is asked or fetched.
//
// A room mirror rewrites the addresses of the list it serves, so its list
// no longer has the signed sum: it serves the publisher's list untouched at
// its list's address followed by ".origine". A list that differs from the
// signed one only in its addresses is accepted: every file is checked
// against the manifest under its name wherever it came from.

#include "base/echec.h"
#include "platform/transfert.h"
#include "records/preuve.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace velorine {

// A list, a manifest or a file that fails the proof of origin (a
// download failure for the user), or a key file that cannot be used.
class EchecPreuve : public Echec {
public:
    using Echec::Echec;
};

// The name of the publisher's key file.
inline constexpr char nomclepublique[] = "VELORINE.PUB";

// The suffixes added to the list's address.
inline constexpr char suffixemanifeste[] = ".sha256";
inline constexpr char suffixesignature[] = ".sha256.minisig";
inline constexpr char suffixeorigine[] = ".origine";

// The largest list read whole: the marker and 32766 entries.
inline constexpr qint64 taillemaxliste = 32767 * 128;

// The publisher's key: the one of the configuration folder
// (records/configuration.h) when it holds one; otherwise the product
// folder's (a publisher's test machine), but only when no user other than
// this one or root could replace it (neither the file nor its folder
// another user's, or writable by a group or others); none when neither
// folder holds a key file. The file is opened without following a symbolic
// link and read within taillemaxcle. Throws EchecPreuve when it is there but
// cannot be read, holds no key or could be replaced: proof of origin is
// never silently off.
std::optional<ClePublique> clepublique(const QString& dossierproduit);

// Fetches at most max bytes of an address into memory. Throws Echec.
using Chercher = std::function<QByteArray(const QString& adresse, qint64 max)>;

// Proves the update list fetched from adresse, whose whole content is the
// file open as liste: fetches its manifest and the manifest's signature,
// checks the signature with cle, then the list's sum against the
// manifest's entry for LISTE.MAJ; a list that differs there is accepted
// only when the publisher's list, fetched from adresse + ".origine", has
// that sum and the same records apart from the addresses. Returns the
// proven manifest. Throws EchecPreuve with the reason (a cancelled fetch
// included).
Manifeste prouverliste(const ClePublique& cle, const QString& adresse, int liste, const Chercher& chercher);

// True when two update lists hold the same groups apart from their
// addresses: both have the marker, and the same entries up to their first
// blank record, record for record, except each group's second entry.
bool memesgroupes(const QByteArray& liste, const QByteArray& origine);

// The check of a fetched file, for PuitsCible::controler: its SHA-256 is
// the manifest's for the Windows name nom. Throws EchecPreuve.
std::function<void(int fd)> controlefichier(const Manifeste& manifeste, const QString& nom);

// Tells why the proof failed: on standard error with bavard (--verbose),
// as "velorine-maj: preuve d'origine: REASON"; otherwise in the logging
// category "velorine.preuve", silent unless asked for:
//     QT_LOGGING_RULES="velorine.preuve.debug=true" velorine-maj ...
void signalerpreuve(bool bavard, const EchecPreuve& echec);

// A sink that keeps the body in memory, refusing one over max bytes.
class PuitsMemoire : public Puits {
public:
    explicit PuitsMemoire(qint64 max) : max_(max) {}
    void ecrire(const char* octets, std::size_t nombre) override;
    void recommencer() override { contenu_.clear(); }
    const QByteArray& contenu() const { return contenu_; }

private:
    qint64 max_;
    QByteArray contenu_;
};

} // namespace velorine
