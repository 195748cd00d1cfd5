#include "records/sousdossier.h"

#include "base/echec.h"
#include "records/nomswindows.h"

#include <QFile>
#include <QList>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace velorine {
namespace {

// Whether openat2() has shown it is missing (an older kernel, or a sandbox
// that refuses it): the fallback is then used straight away.
bool sansopenat2 = false;

} // namespace

int ouvrirparpartie(int dossier, const QByteArray& relatif, int drapeaux, mode_t mode)
{
    const QList<QByteArray> parties = relatif.split('/');
    int courant = dossier;
    bool apropre = false; // courant is ours to close
    for (qsizetype i = 0; i < parties.size(); ++i) {
        const QByteArray& partie = parties[i];
        const bool derniere = i + 1 == parties.size();
        if (partie.isEmpty() || partie == ".") {
            if (!derniere)
                continue;
        }
        if (partie == "..") {
            if (apropre)
                ::close(courant);
            errno = EXDEV;
            return -1;
        }
        const QByteArray nom = partie.isEmpty() ? QByteArray(".") : partie;
        const int suivant = derniere
                                ? ::openat(courant, nom.constData(), drapeaux | O_NOFOLLOW | O_CLOEXEC, mode)
                                : ::openat(courant, nom.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int erreur = errno;
        if (apropre)
            ::close(courant);
        if (suivant < 0) {
            // A link in the last place, or a folder that is a link.
            errno = erreur == ENOTDIR && !derniere ? ELOOP : erreur;
            return -1;
        }
        courant = suivant;
        apropre = true;
    }
    if (!apropre)
        return ::openat(dossier, ".", drapeaux | O_CLOEXEC, mode);
    return courant;
}

QString relatifa(const QString& racine, const QString& chemin)
{
    const QString base = avecseparateur(racine);
    if (chemin == racine || avecseparateur(chemin) == base)
        return QString();
    if (!chemin.startsWith(base))
        throw Echec("hors du dossier " + racine.toStdString() + ": " + chemin.toStdString());
    return chemin.mid(base.size());
}

int ouvrirsousfd(int dossier, const QByteArray& relatif, int drapeaux, mode_t mode)
{
    if (relatif.isEmpty())
        return ::openat(dossier, ".", drapeaux | O_CLOEXEC, mode);
    if (!sansopenat2) {
        open_how comment{};
        comment.flags = static_cast<unsigned long long>(drapeaux | O_CLOEXEC | O_NOFOLLOW);
        comment.mode = (drapeaux & O_CREAT) || (drapeaux & O_TMPFILE) == O_TMPFILE ? mode : 0;
        comment.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS;
        const long fd = ::syscall(SYS_openat2, dossier, relatif.constData(), &comment, sizeof comment);
        if (fd >= 0 || (errno != ENOSYS && errno != EPERM))
            return static_cast<int>(fd);
        if (errno == ENOSYS)
            sansopenat2 = true;
    }
    return ouvrirparpartie(dossier, relatif, drapeaux, mode);
}

int ouvrirsous(const QString& racine, const QString& relatif, int drapeaux, mode_t mode)
{
    const QByteArray nom = QFile::encodeName(racine);
    const int dossier = ::open(nom.isEmpty() ? "." : nom.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dossier < 0)
        return -1;
    const int fd = ouvrirsousfd(dossier, QFile::encodeName(relatif), drapeaux, mode);
    const int erreur = errno;
    ::close(dossier);
    errno = erreur;
    return fd;
}

std::vector<QByteArray> nomsdans(int dossier)
{
    std::vector<QByteArray> noms;
    const int lecture = ::openat(dossier, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lecture < 0)
        return noms;
    DIR* d = ::fdopendir(lecture);
    if (!d) {
        ::close(lecture);
        return noms;
    }
    while (const dirent* e = ::readdir(d)) {
        const QByteArray nom(e->d_name);
        if (nom != "." && nom != "..")
            noms.push_back(nom);
    }
    ::closedir(d);
    return noms;
}

} // namespace velorine
