#include "records/dossiertemporaire.h"

#include "records/sousdossier.h"

#include <QDir>
#include <QFile>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velorine {
namespace {

const QString prefixe = QStringLiteral("velorine-maj-");

// A folder just made is locked a moment later: one younger than this is
// left alone.
constexpr std::time_t agemin = 60;

} // namespace

bool nomdossiertemporaire(const QString& nom)
{
    if (nom.size() != prefixe.size() + 6 || !nom.startsWith(prefixe))
        return false;
    for (qsizetype i = prefixe.size(); i < nom.size(); ++i) {
        const QChar c = nom[i];
        if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')))
            return false;
    }
    return true;
}

void nettoyerdossierstemporaires(const QString& dossier) noexcept
{
    const Descripteur racine(::open(QFile::encodeName(dossier).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (racine.fd() < 0)
        return;
    const std::time_t maintenant = std::time(nullptr);
    for (const QByteArray& nom : nomsdans(racine.fd())) {
        if (!nomdossiertemporaire(QFile::decodeName(nom)))
            continue;
        const Descripteur d(::openat(racine.fd(), nom.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat st {};
        if (d.fd() < 0 || ::fstat(d.fd(), &st) != 0 || st.st_uid != ::geteuid() || maintenant - st.st_mtime < agemin)
            continue;
        // Held by a run still alive.
        if (::flock(d.fd(), LOCK_EX | LOCK_NB) != 0)
            continue;
        for (const QByteArray& entree : nomsdans(d.fd())) {
            struct stat e {};
            if (::fstatat(d.fd(), entree.constData(), &e, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(e.st_mode))
                ::unlinkat(d.fd(), entree.constData(), 0);
        }
        ::unlinkat(racine.fd(), nom.constData(), AT_REMOVEDIR);
    }
}

DossierTemporaire::DossierTemporaire()
    : dossier_(
        (nettoyerdossierstemporaires(QDir::tempPath()), QDir::tempPath() + u'/' + prefixe + QStringLiteral("XXXXXX")))
{
    if (!dossier_.isValid())
        return;
    verrou_ = ::open(QFile::encodeName(dossier_.path()).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (verrou_ >= 0 && ::flock(verrou_, LOCK_EX | LOCK_NB) != 0) {
        ::close(verrou_);
        verrou_ = -1;
    }
}

DossierTemporaire::~DossierTemporaire()
{
    if (verrou_ >= 0)
        ::close(verrou_);
}

} // namespace velorine
