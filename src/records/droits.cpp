#include "records/droits.h"

#include "records/sousdossier.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velorine {
namespace {

mode_t avecdroitsdugroupe(mode_t mode)
{
    return mode | ((mode & S_IRWXU) >> 3);
}

void signaler(const QByteArray& chemin, const char* raison)
{
    std::fprintf(stderr, "velorine-maj: droits de %s non réparés : %s\n", chemin.constData(), raison);
}

// Repairs the entry nom of the folder open as dossier (nom empty: that
// folder itself, open as fd), then what it holds. The entry is opened
// without following a link and changed through its descriptor: a link put
// in its place meanwhile never leads the change to another file.
int reparer(int dossier, const QByteArray& nom, const QByteArray& chemin, dev_t peripherique, gid_t groupe)
{
    const Descripteur entree(nom.isEmpty() ? ::fcntl(dossier, F_DUPFD_CLOEXEC, 0)
                                           : ::openat(dossier, nom.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (entree.fd() < 0 || ::fstat(entree.fd(), &st) != 0) {
        signaler(chemin, std::strerror(errno));
        return 1;
    }
    if (S_ISLNK(st.st_mode) || st.st_dev != peripherique)
        return 0; // neither followed nor entered
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
        return 0;
    if (S_ISREG(st.st_mode) && st.st_nlink > 1) {
        // Another name elsewhere may be a file of the system.
        signaler(chemin, "fichier à plusieurs noms, laissé tel quel");
        return 1;
    }
    int echecs = 0;
    mode_t mode = avecdroitsdugroupe(st.st_mode & 07777);
    if (S_ISDIR(st.st_mode))
        mode |= S_ISGID;
    const QByteArray lien = "/proc/self/fd/" + QByteArray::number(entree.fd());
    if ((st.st_gid != groupe && ::fchownat(entree.fd(), "", static_cast<uid_t>(-1), groupe, AT_EMPTY_PATH) != 0)
        || ::chmod(lien.constData(), mode) != 0) {
        signaler(chemin, std::strerror(errno));
        ++echecs;
    }
    if (S_ISDIR(st.st_mode)) {
        const Descripteur sous(::openat(entree.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (sous.fd() < 0) {
            signaler(chemin, std::strerror(errno));
            return echecs + 1;
        }
        for (const QByteArray& n : nomsdans(sous.fd()))
            echecs += reparer(sous.fd(), n, chemin + "/" + n, peripherique, groupe);
    }
    return echecs;
}

} // namespace

bool ecritureparlegroupe(int dossier)
{
    struct stat st {};
    return ::fstat(dossier, &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_IWGRP);
}

mode_t modedansdossier(int dossier, mode_t mode)
{
    return ecritureparlegroupe(dossier) ? avecdroitsdugroupe(mode) : mode;
}

void donnerdroitsdugroupe(int fd, int dossier)
{
    struct stat d {};
    struct stat st {};
    if (::fstat(dossier, &d) != 0 || !(d.st_mode & S_IWGRP) || ::fstat(fd, &st) != 0)
        return;
    // A failure leaves the file as it was.
    if (st.st_gid != d.st_gid && ::fchown(fd, static_cast<uid_t>(-1), d.st_gid) != 0)
        return;
    mode_t mode = avecdroitsdugroupe(st.st_mode & 07777);
    if (S_ISDIR(st.st_mode))
        mode |= S_ISGID;
    if (mode != (st.st_mode & 07777))
        ::fchmod(fd, mode);
}

int reparerdroits(const QString& dossier)
{
    const QByteArray chemin = QFile::encodeName(dossier);
    const Descripteur racine(::open(chemin.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (racine.fd() < 0 || ::fstat(racine.fd(), &st) != 0) {
        signaler(chemin, std::strerror(errno));
        return 1;
    }
    return reparer(racine.fd(), QByteArray(), chemin, st.st_dev, st.st_gid);
}

} // namespace velorine
