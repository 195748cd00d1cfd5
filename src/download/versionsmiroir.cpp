#include "download/versionsmiroir.h"

#include "base/echec.h"
#include "records/nomswindows.h"
#include "records/fichieratomique.h"
#include "records/sousdossier.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace velorine {
namespace {

// How deep a version's folders may go when it is removed.
constexpr int profondeurmax = 64;

bool partiel(const QByteArray& nom)
{
    return nom.startsWith('.') && (nom.endsWith(".velorine-partiel") || nom.endsWith(".velorine-partiel.infos"));
}

// Removes everything beneath the open folder dossier (with partiels, the
// starts of large files and their records stay), never following a link: a
// link is removed as a name. Returns false when something stays.
bool viderdossier(int dossier, int profondeur, bool partiels = false)
{
    bool tout = true;
    for (const QByteArray& nom : nomsdans(dossier)) {
        struct stat st {};
        if (::fstatat(dossier, nom.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            const Descripteur sous(::openat(dossier, nom.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (sous.fd() < 0 || profondeur >= profondeurmax || !viderdossier(sous.fd(), profondeur + 1, partiels)
                || ::unlinkat(dossier, nom.constData(), AT_REMOVEDIR) != 0)
                tout = false;
        } else if (partiels && S_ISREG(st.st_mode) && partiel(nom)) {
            tout = false;
        } else if (::unlinkat(dossier, nom.constData(), 0) != 0) {
            tout = false;
        }
    }
    return tout;
}

// The link "lien" in the open folder dossier made to point to cible: a new
// link beside it, renamed over it. Throws Echec.
void lier(int dossier, const QByteArray& lien, const QByteArray& cible)
{
    char lu[256];
    const ssize_t n = ::readlinkat(dossier, lien.constData(), lu, sizeof lu);
    if (n >= 0 && QByteArray(lu, n) == cible)
        return;
    const QByteArray nouveau = ".velorine-lien." + lien;
    ::unlinkat(dossier, nouveau.constData(), 0);
    if (::symlinkat(cible.constData(), dossier, nouveau.constData()) != 0)
        throw Echec(raison("création du lien", QFile::decodeName(nouveau)));
    if (::renameat(dossier, nouveau.constData(), dossier, lien.constData()) != 0) {
        const int e = errno;
        ::unlinkat(dossier, nouveau.constData(), 0);
        errno = e;
        throw Echec(raison("remplacement de", QFile::decodeName(lien)));
    }
}

} // namespace

QString nomversion(long long n)
{
    return versionsmiroir::prefixe + QString::number(n);
}

std::optional<long long> numeroversion(const QString& nom)
{
    if (!nom.startsWith(versionsmiroir::prefixe))
        return std::nullopt;
    const QString chiffres = nom.mid(versionsmiroir::prefixe.size());
    if (chiffres.isEmpty() || chiffres.size() > 15 || chiffres.startsWith(u'0'))
        return std::nullopt;
    for (const QChar c : chiffres)
        if (c < u'0' || c > u'9')
            return std::nullopt;
    return chiffres.toLongLong();
}

std::optional<long long> versionservie(const QString& dossier)
{
    const Descripteur d(ouvrirsous(dossier, QString(), O_RDONLY | O_DIRECTORY));
    if (d.fd() < 0)
        return std::nullopt;
    char lu[256];
    const ssize_t n = ::readlinkat(d.fd(), QFile::encodeName(versionsmiroir::courant).constData(), lu, sizeof lu);
    if (n <= 0 || n >= static_cast<ssize_t>(sizeof lu))
        return std::nullopt;
    const std::optional<long long> v = numeroversion(QFile::decodeName(QByteArray(lu, n)));
    if (!v)
        return std::nullopt;
    // The version's folder itself, never a link.
    struct stat st {};
    if (::fstatat(d.fd(), QFile::encodeName(nomversion(*v)).constData(), &st, AT_SYMLINK_NOFOLLOW) != 0
        || !S_ISDIR(st.st_mode))
        return std::nullopt;
    return v;
}

long long versionsuivante(const QString& dossier, std::optional<long long> servie)
{
    if (servie)
        return *servie + 1;
    long long plushaute = 1;
    const Descripteur d(ouvrirsous(dossier, QString(), O_RDONLY | O_DIRECTORY));
    if (d.fd() >= 0)
        for (const QByteArray& nom : nomsdans(d.fd()))
            if (const std::optional<long long> v = numeroversion(QFile::decodeName(nom)))
                plushaute = std::max(plushaute, *v);
    return plushaute;
}

void creerversion(const QString& dossier, long long n)
{
    const Descripteur d(ouvrirsous(dossier, QString(), O_RDONLY | O_DIRECTORY));
    if (d.fd() < 0)
        throw Echec(raison("ouverture de", dossier));
    const QByteArray nom = QFile::encodeName(nomversion(n));
    if (::mkdirat(d.fd(), nom.constData(), 0755) == 0)
        return;
    if (errno != EEXIST)
        throw Echec(raison("création de", nomversion(n)));
    // Left by a run that was killed: only the starts of large files are
    // taken up.
    const Descripteur v(::openat(d.fd(), nom.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (v.fd() < 0)
        throw Echec(raison("ouverture de", nomversion(n)));
    viderdossier(v.fd(), 0, true);
}

void lierinchange(const QString& racine, const QString& de, const QString& vers, const QString& relatif,
                  DossiersASynchroniser& dossiers)
{
    const QFileInfo info(relatif);
    const QString parent = info.path() == u"." ? QString() : info.path();
    const QByteArray nom = QFile::encodeName(info.fileName());
    const Descripteur source(ouvrirsous(racine, de + u'/' + parent, O_RDONLY | O_DIRECTORY));
    const Descripteur cible(ouvrirsous(racine, vers + u'/' + parent, O_RDONLY | O_DIRECTORY));
    if (source.fd() < 0 || cible.fd() < 0)
        throw Echec(raison("ouverture du dossier de", relatif));
    struct stat st {};
    if (::fstatat(source.fd(), nom.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
        throw Echec("pas un fichier ordinaire: " + relatif.toStdString());
    // Linked under a name of its own, then renamed over whatever a killed
    // run left there.
    const QByteArray provisoire = ".velorine-lien." + nom;
    ::unlinkat(cible.fd(), provisoire.constData(), 0);
    if (::linkat(source.fd(), nom.constData(), cible.fd(), provisoire.constData(), 0) == 0) {
        if (::renameat(cible.fd(), provisoire.constData(), cible.fd(), nom.constData()) != 0) {
            const int e = errno;
            ::unlinkat(cible.fd(), provisoire.constData(), 0);
            errno = e;
            throw Echec(raison("mise en place de", relatif));
        }
        dossiers.ajouter(cible.fd());
        return;
    }
    if (errno != EPERM && errno != EXDEV && errno != EOPNOTSUPP && errno != EMLINK)
        throw Echec(raison("lien de", relatif));
    // No hard links here: a copy.
    const Descripteur fd(ouvrirsous(racine, de + u'/' + relatif, O_RDONLY));
    if (fd.fd() < 0)
        throw Echec(raison("ouverture de", relatif));
    FichierAtomique copie(avecseparateur(racine) + vers + u'/' + relatif, racine);
    copie.copierdepuis(fd.fd());
    copie.valider(st.st_mode & 07777, &dossiers);
}

void servirversion(const QString& dossier, long long n, const QStringList& noms)
{
    const Descripteur d(ouvrirsous(dossier, QString(), O_RDONLY | O_DIRECTORY));
    if (d.fd() < 0)
        throw Echec(raison("ouverture de", dossier));
    lier(d.fd(), QFile::encodeName(versionsmiroir::courant), QFile::encodeName(nomversion(n)));
    if (::fsync(d.fd()) != 0)
        throw Echec(raison("écriture de", dossier));
    for (const QString& nom : noms)
        lier(d.fd(), QFile::encodeName(nom), QFile::encodeName(versionsmiroir::courant + u'/' + nom));
    if (::fsync(d.fd()) != 0)
        throw Echec(raison("écriture de", dossier));
}

void oteranciennes(const QString& dossier, const QList<long long>& garder) noexcept
{
    const Descripteur d(ouvrirsous(dossier, QString(), O_RDONLY | O_DIRECTORY));
    if (d.fd() < 0)
        return;
    for (const QByteArray& nom : nomsdans(d.fd())) {
        const std::optional<long long> v = numeroversion(QFile::decodeName(nom));
        if (!v || garder.contains(*v))
            continue;
        struct stat st {};
        if (::fstatat(d.fd(), nom.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode))
            continue;
        const Descripteur sous(::openat(d.fd(), nom.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (sous.fd() >= 0 && viderdossier(sous.fd(), 0))
            ::unlinkat(d.fd(), nom.constData(), AT_REMOVEDIR);
    }
}

} // namespace velorine
