#include "records/fichierenreg.h"

#include "records/cp1252.h"
#include "records/droits.h"
#include "base/echec.h"

#include <QFile>
#include <QFileInfo>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velorine {
namespace {

// Opens without blocking on a FIFO or device, then insists on a regular file.
// A symbolic link is never followed, nor created through: the data files
// live in a folder others may write, and a link there could lead a write
// to any file of the machine.
int ouvrirregulier(const QString& chemin, int drapeaux)
{
    const QByteArray nom = QFile::encodeName(chemin);
    if (nom.isEmpty()) {
        errno = ENOENT;
        return -1;
    }
    const int fd = ::open(nom.constData(), drapeaux | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW, 0666);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// A record file this user created (or an earlier run of this user left)
// in a folder its group may write gets the group's rights: the next teacher
// of the group writes it in turn.
void donnerdroitsdudossier(int fd, const QString& chemin)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid())
        return;
    const int dossier =
        ::open(QFile::encodeName(QFileInfo(chemin).path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dossier < 0)
        return;
    donnerdroitsdugroupe(fd, dossier);
    ::close(dossier);
}

} // namespace

Fente::~Fente()
{
    fermerfichier();
}

void Fente::ouvrirenreg(const QString& chemin)
{
    if (ouverte())
        throw Echec("la fente est déjà ouverte");
    int fd = ouvrirregulier(chemin, O_RDWR | O_CREAT);
    Mode mode = Mode::Enreg;
    int refus = 0;
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM || errno == ETXTBSY)) {
        refus = errno;
        fd = ouvrirregulier(chemin, O_RDONLY);
        mode = Mode::EnregLecture;
    }
    if (fd < 0)
        throw Echec(raison("ouverture de", chemin));
    if (mode == Mode::Enreg)
        donnerdroitsdudossier(fd, chemin);
    fd_ = fd;
    mode_ = mode;
    ecrite_ = false;
    chemin_ = chemin;
    refus_ = refus;
}

QString Fente::lireenreg(int n)
{
    if (mode_ != Mode::Enreg && mode_ != Mode::EnregLecture)
        throw Echec("aucun fichier d'enregistrements ouvert");
    if (n < 1 || n > enreg::numeromax)
        throw Echec("numéro d'enregistrement hors limites: " + std::to_string(n));

    std::array<char, enreg::taille> tampon{};
    const off_t debut = static_cast<off_t>(n - 1) * enreg::taille;
    std::size_t lus = 0;
    while (lus < tampon.size()) {
        const ssize_t r = ::pread(fd_, tampon.data() + lus, tampon.size() - lus, debut + lus);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            throw Echec(std::string("lecture: ") + std::strerror(errno));
        }
        if (r == 0)
            break;
        lus += static_cast<std::size_t>(r);
    }
    return enreg::texte(tampon.data(), lus, n);
}

QString enreg::texte(const char* octets, std::size_t lus, int n)
{
    if (lus < enreg::entete) {
        if (lus == 0)
            return QString(); // at or past the end of the file
        throw Echec("enregistrement " + std::to_string(n) + " tronqué");
    }
    const std::size_t longueur =
        static_cast<unsigned char>(octets[0]) | static_cast<std::size_t>(static_cast<unsigned char>(octets[1])) << 8;
    if (longueur > enreg::textemax)
        throw Echec("enregistrement " + std::to_string(n) + " endommagé: longueur " + std::to_string(longueur));
    if (enreg::entete + longueur > lus)
        throw Echec("enregistrement " + std::to_string(n) + " tronqué");
    return cp1252::decoder(QByteArray(octets + enreg::entete, static_cast<qsizetype>(longueur)));
}

void Fente::ecrireenreg(int n, const QString& texte)
{
    if (mode_ == Mode::EnregLecture)
        throw Echec("écriture de " + chemin_.toStdString() + " refusée: " + std::strerror(refus_));
    if (mode_ != Mode::Enreg)
        throw Echec("aucun fichier d'enregistrements ouvert");
    if (n < 1 || n > enreg::numeromax)
        throw Echec("numéro d'enregistrement hors limites: " + std::to_string(n));
    const QByteArray octets = cp1252::encoder(texte);
    if (static_cast<std::size_t>(octets.size()) > enreg::textemax)
        throw Echec("texte de " + std::to_string(octets.size()) + " octets: trop long pour un enregistrement");

    std::array<char, enreg::taille> enregistrement{};
    enregistrement[0] = static_cast<char>(octets.size() & 0xFF);
    enregistrement[1] = static_cast<char>((octets.size() >> 8) & 0xFF);
    std::memcpy(enregistrement.data() + enreg::entete, octets.constData(), static_cast<std::size_t>(octets.size()));
    ecrireabsolu(enregistrement.data(), enregistrement.size(), static_cast<off_t>(n - 1) * enreg::taille);
}

void Fente::ecrireabsolu(const char* octets, std::size_t nombre, off_t position)
{
    ecrite_ = true;
    while (nombre > 0) {
        const ssize_t w = ::pwrite(fd_, octets, nombre, position);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            throw Echec(std::string("écriture: ") + std::strerror(errno));
        }
        octets += w;
        nombre -= static_cast<std::size_t>(w);
        position += w;
    }
}

void Fente::fermerfichier() noexcept
{
    if (fd_ < 0)
        return;
    if (ecrite_)
        ::fsync(fd_);
    ::close(fd_);
    fd_ = -1;
    mode_ = Mode::Fermee;
    ecrite_ = false;
}

void effacerfichier(const QString& chemin)
{
    const QByteArray nom = QFile::encodeName(chemin);
    if (nom.isEmpty() || ::unlink(nom.constData()) != 0)
        throw Echec(raison("suppression de", chemin));
}

} // namespace velorine
