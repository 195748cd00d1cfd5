#pragma once
// A product file is never half-written. FichierAtomique writes into a
// temporary file beside the target and renames it over the target only in
// valider(), after the data is flushed to disk. Destroyed without valider(),
// it removes the temporary file and leaves the target as it was.
//
// Given the folder the target must stay in (racine), the target's folder is
// reached from it without following any symbolic link: a link placed in the
// product folder never leads a write elsewhere. A link in the target's own
// place is replaced, never written through.
//
// A run killed before it could clean up may leave a named temporary file
// (where the file system has no unnamed ones, or between naming the file and
// the rename). The first FichierAtomique of a process in a folder removes
// those of dead runs from it; a running updater's files are locked and never
// removed.

#include <QString>
#include <cstddef>
#include <optional>
#include <sys/types.h>
#include <vector>

namespace velorine {

// The folders in which files were put in place and whose new entries may not
// be on the disk yet. A run that puts many files in place makes each
// folder's entries durable once, after its last file, instead of once a
// file.
class DossiersASynchroniser {
public:
    DossiersASynchroniser() = default;
    ~DossiersASynchroniser();
    DossiersASynchroniser(const DossiersASynchroniser&) = delete;
    DossiersASynchroniser& operator=(const DossiersASynchroniser&) = delete;

    // Adds the open folder dossier (kept open through a copy of its
    // descriptor), unless it is already there.
    void ajouter(int dossier);
    // Makes the entries of every folder added so far durable, each folder
    // once, and forgets them. Throws Echec when the disk reports a failure.
    void synchroniser();

private:
    struct Dossier {
        dev_t peripherique;
        ino_t inode;
        int fd;
    };
    std::vector<Dossier> dossiers_;
};

class FichierAtomique {
public:
    // Creates the temporary file in the target's folder. Throws Echec when
    // the folder is missing or not writable, when cible lies outside racine
    // or a part of it below racine is a symbolic link, or when the target
    // exists and this user may not write it (a read-only file is never
    // replaced).
    explicit FichierAtomique(const QString& cible, const QString& racine = QString());
    // Takes up suite, a file of an earlier run in the target's folder, as
    // the temporary file, to go on writing at its end. Throws Echec, with
    // the same checks as above, when suite is not a regular file of this
    // user that nothing else links to, or another process holds it.
    FichierAtomique(const QString& cible, const QString& racine, const QByteArray& suite);
    ~FichierAtomique();
    FichierAtomique(const FichierAtomique&) = delete;
    FichierAtomique& operator=(const FichierAtomique&) = delete;

    void ecrire(const char* octets, std::size_t nombre);

    // Copies the whole of an open file descriptor from its start.
    void copierdepuis(int source);

    // The mode of a new target before the umask (0666 unless set).
    void modenouveau(mode_t mode) { modenouveau_ = mode; }

    // Flushes, sets the permission bits (exactly the given ones; otherwise
    // those of the existing target; otherwise modenouveau() less the umask;
    // either of the last two with the owner's rights for the group, and the
    // folder's group, in a folder its group may write) and renames over the
    // target. Throws Echec, the target untouched, when any
    // of it fails (a folder in the target's place, a full disk, a target
    // this user may not write). The file's data is on the disk before the
    // rename; the rename itself is made durable here, or, given dossiers,
    // later by dossiers.synchroniser().
    void valider(std::optional<mode_t> permissions = std::nullopt, DossiersASynchroniser* dossiers = nullptr);

    // Names another target in the same folder for valider(): the target of
    // a file fetched ahead, named again at its turn. Throws Echec when cible
    // lies in another folder or may not be replaced.
    void recibler(const QString& cible);

    // Removes the temporary file now.
    void abandonner() noexcept;

    // Keeps what was written so far under the name nom in the target's
    // folder, flushed to the disk, for a later run to take up; the object
    // then lets go of it. A file named nom (or a link) is replaced, never
    // written through. Throws Echec; the temporary file is then removed.
    void garder(const QByteArray& nom);

    // The bytes in the temporary file.
    long long taille() const { return ecrits_; }

    const QString& cible() const { return cible_; }

    // The temporary file, open for reading and writing, so that its content
    // can be checked before valider(); -1 once put in place or abandoned.
    // ecrire() writes at its offset: a check leaves it at the end.
    int descripteur() const { return fd_; }

private:
    void creertemporaire();
    void nommer();
    void anticiper();

    QString cible_;
    QByteArray nom_;        // the target's name in its folder
    QByteArray temporaire_; // the temporary file's name in that folder, once it has one
    int dossier_ = -1;      // the target's folder
    int fd_ = -1;
    off_t ecrits_ = 0;  // bytes written by ecrire()
    off_t envoyes_ = 0; // of which the disk was asked to write so many
    mode_t modenouveau_ = 0666;
};

// Copies source over cible through a FichierAtomique: a replaced file keeps
// its mode, a new one is executable when the source is. Throws Echec when the source is missing or not a regular
// file, or when the copy fails; the target is then as it was. Given the
// folders they must stay in, neither the source nor the target is reached
// through a symbolic link: a link on the update medium is not copied. Given
// dossiers, the target's folder joins them instead of being synced here.
void copierfichier(const QString& source, const QString& cible, const QString& racinesource = QString(),
                   const QString& racinecible = QString(), DossiersASynchroniser* dossiers = nullptr);

} // namespace velorine
