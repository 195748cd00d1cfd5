#include "records/fichieratomique.h"

#include "base/echec.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace velorine {
namespace {

std::string raison(const char* quoi, const QString& chemin)
{
    return std::string(quoi) + " " + chemin.toStdString() + ": " + std::strerror(errno);
}

// Bytes written between two requests to start writing to the disk.
constexpr off_t ecritureanticipee = 8 << 20;

// A file the administrator made read-only, or that belongs to another user
// who gave this one no right to write it, is not replaced: renaming over it
// needs only the right to write in its folder, so the file's own rights are
// asked for here. A missing target may be created.
void verifiercible(const QString& cible)
{
    const QByteArray nom = QFile::encodeName(cible);
    if (::faccessat(AT_FDCWD, nom.constData(), W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) == 0 || errno == ENOENT)
        return;
    throw Echec(raison("fichier protégé en écriture :", cible));
}

mode_t permissionsnouvelles()
{
    const mode_t masque = ::umask(0);
    ::umask(masque);
    return 0666 & ~masque;
}

} // namespace

FichierAtomique::FichierAtomique(const QString& cible) : cible_(cible)
{
    verifiercible(cible);
    // An unnamed file first: it vanishes with the process, even a killed one,
    // and gets a name only at the moment it replaces the target. File systems
    // without unnamed files get a hidden named one.
    const QByteArray dossier = QFile::encodeName(QFileInfo(cible).path());
    fd_ = ::open(dossier.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ >= 0)
        return;
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        throw Echec(raison("création d'un fichier temporaire pour", cible));
    QByteArray modele = dossier + "/.velorine-maj.XXXXXX";
    fd_ = ::mkostemp(modele.data(), O_CLOEXEC);
    if (fd_ < 0)
        throw Echec(raison("création d'un fichier temporaire pour", cible));
    temporaire_ = modele;
}

void FichierAtomique::nommer()
{
    if (!temporaire_.isEmpty())
        return;
    const QByteArray dossier = QFile::encodeName(QFileInfo(cible_).path());
    const QByteArray lien = "/proc/self/fd/" + QByteArray::number(fd_);
    for (int essai = 0; essai < 100; ++essai) {
        QByteArray nom = dossier + "/.velorine-maj." + QByteArray::number(::getpid()) + "."
            + QByteArray::number(essai);
        if (::linkat(AT_FDCWD, lien.constData(), AT_FDCWD, nom.constData(), AT_SYMLINK_FOLLOW) == 0) {
            temporaire_ = nom;
            return;
        }
        if (errno != EEXIST)
            break;
    }
    throw Echec(raison("nommage du fichier temporaire de", cible_));
}

FichierAtomique::~FichierAtomique()
{
    abandonner();
}

void FichierAtomique::ecrire(const char* octets, std::size_t nombre)
{
    if (fd_ < 0)
        throw Echec("fichier temporaire fermé");
    anticiper();
    while (nombre > 0) {
        const ssize_t w = ::write(fd_, octets, nombre);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            throw Echec(raison("écriture de", cible_));
        }
        octets += w;
        nombre -= static_cast<std::size_t>(w);
        ecrits_ += w;
    }
}

void FichierAtomique::anticiper()
{
    // A long file is sent to the disk as it is written, so that the flush in
    // valider() has little left to wait for. Only a request: a failure here
    // shows again, and is reported, when the file is flushed.
    if (ecrits_ - envoyes_ >= ecritureanticipee) {
        ::sync_file_range(fd_, envoyes_, ecrits_ - envoyes_, SYNC_FILE_RANGE_WRITE);
        envoyes_ = ecrits_;
    }
}

void FichierAtomique::copierdepuis(int source)
{
    if (fd_ < 0)
        throw Echec("fichier temporaire fermé");
    // The kernel copies without a trip through user space where it can.
    off_t position = 0;
    for (;;) {
        anticiper();
        const ssize_t n = ::copy_file_range(source, &position, fd_, nullptr, ecritureanticipee, 0);
        if (n == 0)
            return;
        if (n > 0) {
            ecrits_ += n;
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP || errno == EBADF)
            break;
        throw Echec(raison("copie vers", cible_));
    }
    std::vector<char> tampon(1 << 20);
    for (;;) {
        const ssize_t r = ::pread(source, tampon.data(), tampon.size(), position);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            throw Echec(raison("lecture pour", cible_));
        }
        if (r == 0)
            return;
        ecrire(tampon.data(), static_cast<std::size_t>(r));
        position += r;
    }
}

void FichierAtomique::valider(std::optional<mode_t> permissions)
{
    if (fd_ < 0)
        throw Echec("fichier temporaire fermé");
    verifiercible(cible_);
    mode_t mode = 0;
    struct stat st {};
    const QByteArray cible = QFile::encodeName(cible_);
    if (permissions)
        mode = *permissions;
    else if (::stat(cible.constData(), &st) == 0 && S_ISREG(st.st_mode))
        mode = st.st_mode & 07777;
    else
        mode = permissionsnouvelles();
    if (::fchmod(fd_, mode) != 0 || ::fsync(fd_) != 0)
        throw Echec(raison("écriture de", cible_));
    nommer();
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        abandonner();
        throw Echec(raison("fermeture de", cible_));
    }
    if (::rename(temporaire_.constData(), cible.constData()) != 0) {
        const std::string pourquoi = raison("remplacement de", cible_);
        abandonner();
        throw Echec(pourquoi);
    }
    temporaire_.clear();
    // Make the rename itself durable.
    const QByteArray dossier = QFile::encodeName(QFileInfo(cible_).path());
    const int d = ::open(dossier.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (d >= 0) {
        ::fsync(d);
        ::close(d);
    }
}

void FichierAtomique::abandonner() noexcept
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporaire_.isEmpty()) {
        ::unlink(temporaire_.constData());
        temporaire_.clear();
    }
}

void copierfichier(const QString& source, const QString& cible)
{
    const QByteArray nom = QFile::encodeName(source);
    const int fd = nom.isEmpty() ? -1 : ::open(nom.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        throw Echec(raison("ouverture de", source));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw Echec("pas un fichier ordinaire: " + source.toStdString());
    }
    try {
        FichierAtomique copie(cible);
        copie.copierdepuis(fd);
        copie.valider(st.st_mode & 07777);
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
}

} // namespace velorine
