#pragma once
// A product file is never half-written. FichierAtomique writes into a
// temporary file beside the target and renames it over the target only in
// valider(), after the data is flushed to disk. Destroyed without valider(),
// it removes the temporary file and leaves the target as it was.

#include <QString>
#include <cstddef>
#include <optional>
#include <sys/types.h>

namespace velorine {

class FichierAtomique {
public:
    // Creates the temporary file in the target's folder. Throws Echec when
    // the folder is missing or not writable, or when the target exists and
    // this user may not write it (a read-only file is never replaced).
    explicit FichierAtomique(const QString& cible);
    ~FichierAtomique();
    FichierAtomique(const FichierAtomique&) = delete;
    FichierAtomique& operator=(const FichierAtomique&) = delete;

    void ecrire(const char* octets, std::size_t nombre);

    // Copies the whole of an open file descriptor from its start.
    void copierdepuis(int source);

    // Flushes, sets the permission bits (the given ones; otherwise those of
    // the existing target; otherwise the usual ones for a new file) and
    // renames over the target. Throws Echec, the target untouched, when any
    // of it fails (a folder in the target's place, a full disk, a target
    // this user may not write).
    void valider(std::optional<mode_t> permissions = std::nullopt);

    // Removes the temporary file now.
    void abandonner() noexcept;

    const QString& cible() const { return cible_; }

private:
    void nommer();
    void anticiper();

    QString cible_;
    QByteArray temporaire_;
    int fd_ = -1;
    off_t ecrits_ = 0;  // bytes written by ecrire()
    off_t envoyes_ = 0; // of which the disk was asked to write so many
};

// Copies source over cible through a FichierAtomique, keeping the source's
// permission bits. Throws Echec when the source is missing or not a regular
// file, or when the copy fails; the target is then as it was.
void copierfichier(const QString& source, const QString& cible);

} // namespace velorine
