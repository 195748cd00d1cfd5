#include "records/fichieratomique.h"

#include "base/echec.h"
#include "records/droits.h"
#include "records/nomswindows.h"
#include "records/sousdossier.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <ctime>
#include <signal.h>
#include <mutex>
#include <set>
#include <tuple>
#include <vector>

namespace velorine {
namespace {

// Bytes written between two requests to start writing to the disk.
constexpr off_t ecritureanticipee = 8 << 20;

// A file the administrator made read-only, or that belongs to another user
// who gave this one no right to write it, is not replaced: renaming over it
// needs only the right to write in its folder, so the file's own rights are
// asked for here. A missing target may be created.
void verifiercible(int dossier, const QByteArray& nom, const QString& cible)
{
    if (::faccessat(dossier, nom.constData(), W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) == 0 || errno == ENOENT)
        return;
    throw Echec(raison("fichier protégé en écriture :", cible));
}

mode_t permissionsnouvelles(mode_t mode)
{
    const mode_t masque = ::umask(0);
    ::umask(masque);
    return mode & ~masque;
}

// The name of a temporary file: hidden, with the process number, so that a
// later run can tell the leftovers of a dead run.
QByteArray nomtemporaire(int essai)
{
    return ".velorine-maj." + QByteArray::number(::getpid()) + "." + QByteArray::number(essai);
}

const QByteArray prefixetemporaire = ".velorine-maj.";

// Temporary files of older versions carry six random characters instead of
// a process number, and no lock: one untouched for so long is a leftover.
constexpr std::time_t agetemporaireancien = 10 * 60;

// Whether the temporary file nom in dossier is the leftover of a run that
// ended without cleaning up (killed, or the machine stopped). A running
// updater holds a lock on each of its temporary files, and its process is
// alive; both are checked, for file systems that ignore locks.
bool abandonne(int dossier, const QByteArray& nom)
{
    const QByteArray reste = nom.mid(prefixetemporaire.size());
    const qsizetype point = reste.indexOf('.');
    bool ancien = false;
    if (point > 0) {
        bool ok = false;
        const long pid = reste.left(point).toLong(&ok);
        if (!ok || pid <= 0 || pid == ::getpid())
            return false;
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM)
            return false;
    } else if (reste.size() == 6) {
        ancien = true;
    } else {
        return false;
    }
    const int fd = ::openat(dossier, nom.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    const bool libre = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0
                       && (!ancien || std::time(nullptr) - st.st_mtime > agetemporaireancien);
    ::close(fd);
    return libre;
}

// Whether this process already rid the folder dossier (at chemin) of the
// temporary files of dead runs: once a folder is enough, and a run that puts
// hundreds of files in one folder does not read it again for each.
bool dejanettoye(int dossier, const QString& chemin)
{
    static std::mutex verrou;
    static std::set<std::tuple<dev_t, ino_t, QString>> vus;
    struct stat st {};
    if (::fstat(dossier, &st) != 0)
        return false;
    const std::lock_guard<std::mutex> garde(verrou);
    return !vus.emplace(st.st_dev, st.st_ino, chemin).second;
}

// Removes the temporary files that dead runs left in dossier (at chemin).
void nettoyer(int dossier, const QString& chemin)
{
    for (const QByteArray& nom : nomsdans(dossier))
        if (nom.startsWith(prefixetemporaire) && abandonne(dossier, nom)
            && ::unlinkat(dossier, nom.constData(), 0) == 0)
            entreeotee(avecseparateur(chemin) + QFile::decodeName(nom));
}

} // namespace

DossiersASynchroniser::~DossiersASynchroniser()
{
    for (const Dossier& d : dossiers_)
        ::close(d.fd);
}

void DossiersASynchroniser::ajouter(int dossier)
{
    struct stat st {};
    if (::fstat(dossier, &st) != 0) {
        // Unknown: made durable now.
        ::fsync(dossier);
        return;
    }
    for (const Dossier& d : dossiers_)
        if (d.peripherique == st.st_dev && d.inode == st.st_ino)
            return;
    const int copie = ::fcntl(dossier, F_DUPFD_CLOEXEC, 0);
    if (copie < 0) {
        ::fsync(dossier);
        return;
    }
    dossiers_.push_back({st.st_dev, st.st_ino, copie});
}

void DossiersASynchroniser::synchroniser()
{
    std::vector<Dossier> dossiers;
    dossiers.swap(dossiers_);
    bool fait = true;
    for (const Dossier& d : dossiers) {
        fait = (::fsync(d.fd) == 0 || errno == EINVAL) && fait;
        ::close(d.fd);
    }
    if (!fait)
        throw Echec(std::string("synchronisation d'un dossier: ") + std::strerror(EIO));
}

FichierAtomique::FichierAtomique(const QString& cible, const QString& racine) : cible_(cible)
{
    const QFileInfo info(cible);
    nom_ = QFile::encodeName(info.fileName());
    if (nom_.isEmpty() || nom_ == "." || nom_ == "..") {
        errno = EISDIR;
        throw Echec(raison("création d'un fichier temporaire pour", cible));
    }
    if (racine.isEmpty()) {
        const QByteArray dossier = QFile::encodeName(info.path());
        dossier_ = ::open(dossier.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } else {
        dossier_ = ouvrirsous(racine, relatifa(racine, info.path()), O_RDONLY | O_DIRECTORY);
    }
    if (dossier_ < 0)
        throw Echec(raison("ouverture du dossier de", cible));
    try {
        verifiercible(dossier_, nom_, cible);
        if (!dejanettoye(dossier_, info.path()))
            nettoyer(dossier_, info.path());
        creertemporaire();
    } catch (...) {
        // No destructor runs for an object whose constructor throws.
        abandonner();
        ::close(dossier_);
        dossier_ = -1;
        throw;
    }
}

FichierAtomique::FichierAtomique(const QString& cible, const QString& racine, const QByteArray& suite) : cible_(cible)
{
    const QFileInfo info(cible);
    nom_ = QFile::encodeName(info.fileName());
    if (nom_.isEmpty() || nom_ == "." || nom_ == ".." || suite.isEmpty() || suite.contains('/')) {
        errno = EINVAL;
        throw Echec(raison("reprise du fichier temporaire de", cible));
    }
    dossier_ = ouvrirsous(racine, relatifa(racine, info.path()), O_RDONLY | O_DIRECTORY);
    if (dossier_ < 0)
        throw Echec(raison("ouverture du dossier de", cible));
    try {
        verifiercible(dossier_, nom_, cible);
        // Only a file this run could have left: regular, this user's, with
        // no other name anywhere (a hard link placed here would lead the
        // writes into another file).
        fd_ = ::openat(dossier_, suite.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0)
            throw Echec(raison("reprise du fichier temporaire de", cible));
        struct stat st {};
        if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1 || st.st_uid != ::geteuid()
            || ::flock(fd_, LOCK_EX | LOCK_NB) != 0 || ::lseek(fd_, 0, SEEK_END) != st.st_size) {
            ::close(fd_);
            fd_ = -1;
            throw Echec("fichier temporaire à ne pas reprendre: " + cible.toStdString());
        }
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
        temporaire_ = suite;
        ecrits_ = envoyes_ = st.st_size;
    } catch (...) {
        ::close(dossier_);
        dossier_ = -1;
        throw;
    }
}

void FichierAtomique::creertemporaire()
{
    // An unnamed file first: it vanishes with the process, even a killed one,
    // and gets a name only at the moment it replaces the target. File systems
    // without unnamed files get a hidden named one. Either way the file is
    // locked while this object lives: a run never removes a locked one.
    fd_ = ::openat(dossier_, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            throw Echec(raison("création d'un fichier temporaire pour", cible_));
        for (int essai = 0; essai < 100 && fd_ < 0; ++essai) {
            const QByteArray nom = nomtemporaire(essai);
            fd_ = ::openat(dossier_, nom.constData(), O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (fd_ >= 0)
                temporaire_ = nom;
            else if (errno != EEXIST)
                break;
        }
        if (fd_ < 0)
            throw Echec(raison("création d'un fichier temporaire pour", cible_));
    }
    ::flock(fd_, LOCK_EX | LOCK_NB);
}

void FichierAtomique::nommer()
{
    if (!temporaire_.isEmpty())
        return;
    const QByteArray lien = "/proc/self/fd/" + QByteArray::number(fd_);
    for (int essai = 0; essai < 100; ++essai) {
        const QByteArray nom = nomtemporaire(essai);
        if (::linkat(AT_FDCWD, lien.constData(), dossier_, nom.constData(), AT_SYMLINK_FOLLOW) == 0) {
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
    if (dossier_ >= 0)
        ::close(dossier_);
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

void FichierAtomique::recibler(const QString& cible)
{
    const QFileInfo info(cible);
    if (info.path() != QFileInfo(cible_).path())
        throw Echec("autre dossier: " + cible.toStdString());
    const QByteArray nom = QFile::encodeName(info.fileName());
    verifiercible(dossier_, nom, cible);
    nom_ = nom;
    cible_ = cible;
}

void FichierAtomique::valider(std::optional<mode_t> permissions, DossiersASynchroniser* dossiers)
{
    if (fd_ < 0)
        throw Echec("fichier temporaire fermé");
    verifiercible(dossier_, nom_, cible_);
    // A replaced file keeps its mode, as cp onto an existing file does; a
    // new one gets the usual mode. In a folder its group may write, either
    // also gets the folder's group and the owner's rights for the group, so
    // that the next teacher of the group may replace it in turn.
    mode_t mode = 0;
    struct stat st {};
    if (permissions)
        mode = *permissions;
    else if (::fstatat(dossier_, nom_.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
        mode = modedansdossier(dossier_, st.st_mode & 07777);
    else
        mode = modedansdossier(dossier_, permissionsnouvelles(modenouveau_));
    struct stat d {};
    if (!permissions && ecritureparlegroupe(dossier_) && ::fstat(dossier_, &d) == 0
        && ::fchown(fd_, static_cast<uid_t>(-1), d.st_gid) != 0) {
        // Not a member of the folder's group: the file keeps this user's.
    }
    if (::fchmod(fd_, mode) != 0 || ::fsync(fd_) != 0)
        throw Echec(raison("écriture de", cible_));
    nommer();
    // The lock stays held through a second descriptor until the rename.
    const int verrou = ::dup(fd_);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        const std::string pourquoi = raison("fermeture de", cible_);
        if (verrou >= 0)
            ::close(verrou);
        abandonner();
        throw Echec(pourquoi);
    }
    const bool remplace = ::renameat(dossier_, temporaire_.constData(), dossier_, nom_.constData()) == 0;
    const std::string pourquoi = remplace ? std::string() : raison("remplacement de", cible_);
    if (verrou >= 0)
        ::close(verrou);
    if (!remplace) {
        abandonner();
        throw Echec(pourquoi);
    }
    temporaire_.clear();
    entreecreee(cible_);
    // Make the rename itself durable, now or with the other files of the
    // run.
    if (dossiers)
        dossiers->ajouter(dossier_);
    else
        ::fsync(dossier_);
}

void FichierAtomique::abandonner() noexcept
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporaire_.isEmpty()) {
        ::unlinkat(dossier_, temporaire_.constData(), 0);
        temporaire_.clear();
    }
}

void FichierAtomique::garder(const QByteArray& nom)
{
    try {
        if (fd_ < 0)
            throw Echec("fichier temporaire fermé");
        if (nom.isEmpty() || nom.contains('/') || nom == "." || nom == "..")
            throw Echec("nom invalide pour garder " + cible_.toStdString());
        if (::fsync(fd_) != 0)
            throw Echec(raison("écriture de", cible_));
        nommer();
        if (temporaire_ != nom && ::renameat(dossier_, temporaire_.constData(), dossier_, nom.constData()) != 0)
            throw Echec(raison("conservation de", cible_));
        temporaire_.clear();
        entreecreee(avecseparateur(QFileInfo(cible_).path()) + QFile::decodeName(nom));
        ::close(fd_);
        fd_ = -1;
        ::fsync(dossier_);
    } catch (...) {
        abandonner();
        throw;
    }
}

void copierfichier(const QString& source, const QString& cible, const QString& racinesource, const QString& racinecible,
                   DossiersASynchroniser* dossiers)
{
    const QByteArray nom = QFile::encodeName(source);
    int fd = -1;
    if (racinesource.isEmpty())
        fd = nom.isEmpty() ? -1 : ::open(nom.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    else
        fd = ouvrirsous(racinesource, relatifa(racinesource, source), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        throw Echec(raison("ouverture de", source));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw Echec("pas un fichier ordinaire: " + source.toStdString());
    }
    try {
        FichierAtomique copie(cible, racinecible);
        copie.copierdepuis(fd);
        // A new file is executable when its source is, as with cp; the
        // source's other bits (a stick's 0644, a set-user-id bit) do not
        // reach the product folder.
        copie.modenouveau((st.st_mode & 0111) ? 0777 : 0666);
        copie.valider(std::nullopt, dossiers);
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
}

} // namespace velorine
