#pragma once
// Proof of origin: the publisher signs, with minisign, a manifest of SHA-256
// sums of the update list and of every file it names; the updater checks the
// signature against the publisher's public key, then each file against the
// manifest. Every byte of the key, the signature and the manifest is hostile
// until checked: sizes are bounded, base64 is strict, lengths are exact.
//
// The public key file (minisign -G):
//     untrusted comment: <text>
//     base64("Ed" || key id (8) || Ed25519 public key (32))
// The signature file (minisign -S):
//     untrusted comment: <text>
//     base64(algorithm (2) || key id (8) || signature (64))
//     trusted comment: <text>
//     base64(global signature (64))
// where the algorithm "Ed" signs the message itself and "ED" signs its
// BLAKE2b-512 hash, and the global signature signs the signature bytes
// followed by the trusted comment's text.
//
// The manifest is in sha256sum's format, UTF-8, one "HEX64  NAME" or
// "HEX64 *NAME" per line, NAME being the Windows name of a file of the list
// ("\" or "/" separating folders, letter case not mattering) and LISTE.MAJ
// standing for the list itself.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <array>
#include <cstdint>

namespace velorine {

// The name under which the manifest holds the update list itself.
inline constexpr char nomlisteprouvee[] = "LISTE.MAJ";

// The bounds on what is read.
inline constexpr qint64 taillemaxcle = 4096;
inline constexpr qint64 taillemaxsignature = 4096;
inline constexpr qint64 taillemaxmanifeste = 1024 * 1024;

using Empreinte = std::array<std::uint8_t, 32>;

struct ClePublique {
    std::array<std::uint8_t, 8> id{};
    std::array<std::uint8_t, 32> cle{};
};

// Reads a minisign public key file's content. Throws Echec.
ClePublique lirecle(const QByteArray& contenu);

// Checks a minisign signature file's content (signature and global
// signature) over message with cle. Returns the trusted comment's text.
// Throws Echec, in particular when the key id is not cle's.
QString verifiersignature(const ClePublique& cle, const QByteArray& message, const QByteArray& signature);

// The manifest: the expected SHA-256 of each name.
class Manifeste {
public:
    // Reads a manifest's content. Throws Echec on a malformed line, a digest
    // that is not 64 hexadecimal digits, an empty or refused name, or a name
    // given twice (in any case or separator).
    static Manifeste lire(const QByteArray& contenu);

    // The expected digest of the Windows name nom. Throws Echec when the
    // manifest does not name it.
    Empreinte empreinte(const QString& nom) const;

    bool contient(const QString& nom) const;
    qsizetype taille() const { return empreintes_.size(); }

private:
    QHash<QString, Empreinte> empreintes_;
};

// Checks signature over the manifest's content with cle, then reads it.
// Throws Echec.
Manifeste manifesteprouve(const ClePublique& cle, const QByteArray& manifeste, const QByteArray& signature);

// The key under which a Windows name is compared: "\" becomes "/", empty and
// "." parts are dropped, letter case is folded.
QString clenom(const QString& nom);

// The SHA-256 of what remains to read from fd, read in blocks to its end.
// Throws Echec on a read error.
Empreinte sha256fd(int fd);

// Reads fd from its start and checks its SHA-256 against the manifest's
// entry for the Windows name nom. Throws Echec on a mismatch, a missing
// entry or a read error.
void verifierfichier(const Manifeste& manifeste, const QString& nom, int fd);

// Reads at most max bytes from fd to its end. Throws Echec when there are
// more, or on a read error.
QByteArray lireborne(int fd, qint64 max);

// Reads the regular file open as fd from its current offset to its end,
// refusing anything else (a folder, a device, a pipe) and one over max
// bytes. Throws Echec.
QByteArray lireordinaire(int fd, qint64 max);

// Reads the file chemin, refusing one over max bytes. Throws Echec.
QByteArray lirefichierborne(const QString& chemin, qint64 max);

} // namespace velorine
