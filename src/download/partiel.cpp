#include "download/partiel.h"

#include "base/echec.h"
#include "records/fichieratomique.h"
#include "records/preuve.h"
#include "records/sousdossier.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace velorine {
namespace {

const QByteArray suffixepartiel = ".velorine-partiel";
const QByteArray suffixeinfos = ".velorine-partiel.infos";
const QByteArray enteteinfos = "VELORINE-PARTIEL 1";
// A record is a few lines: anything longer is not one.
constexpr qsizetype tailleinfosmax = 4096;
// How deep folders are searched for partial files.
constexpr int profondeurmax = 16;

// The target's folder opened beneath racine, and the target's name.
struct Place {
    int dossier = -1;
    QByteArray nom;
    ~Place()
    {
        if (dossier >= 0)
            ::close(dossier);
    }
};
bool placer(const QString& cible, const QString& racine, Place& p)
{
    const QFileInfo info(cible);
    p.nom = QFile::encodeName(info.fileName());
    if (p.nom.isEmpty() || p.nom == "." || p.nom == "..")
        return false;
    try {
        p.dossier = ouvrirsous(racine, relatifa(racine, info.path()), O_RDONLY | O_DIRECTORY);
    } catch (const Echec&) {
        return false;
    }
    return p.dossier >= 0;
}

// Removes nom from dossier when it is a regular file (never through, nor,
// a symbolic link).
void otersiordinaire(int dossier, const QByteArray& nom)
{
    struct stat st {};
    if (::fstatat(dossier, nom.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
        ::unlinkat(dossier, nom.constData(), 0);
}

long long nombre(const QByteArray& texte, bool& ok)
{
    if (texte == "-1")
        return -1;
    if (texte.isEmpty() || texte.size() > 18) {
        ok = false;
        return -1;
    }
    for (const char c : texte)
        if (c < '0' || c > '9')
            ok = false;
    return ok ? texte.toLongLong() : -1;
}

// The name of the target whose partial file or record nom is; empty when
// nom is neither.
QByteArray ciblede(const QByteArray& nom, bool& infos)
{
    for (const QByteArray* suffixe : {&suffixeinfos, &suffixepartiel}) {
        if (nom.size() > suffixe->size() + 1 && nom.startsWith('.') && nom.endsWith(*suffixe)) {
            infos = suffixe == &suffixeinfos;
            return nom.mid(1, nom.size() - suffixe->size() - 1);
        }
    }
    return {};
}

void nettoyerdossier(int dossier, const QString& chemin, const QSet<QString>& cibles, int profondeur)
{
    struct Paire {
        bool donnees = false;
        bool infos = false;
        bool perime = false;
    };
    std::map<QByteArray, Paire> partiels;
    std::vector<QByteArray> sousdossiers;
    const std::time_t maintenant = std::time(nullptr);
    for (const QByteArray& nom : nomsdans(dossier)) {
        struct stat st {};
        if (::fstatat(dossier, nom.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            sousdossiers.push_back(nom);
            continue;
        }
        bool infos = false;
        const QByteArray cible = ciblede(nom, infos);
        if (cible.isEmpty() || !S_ISREG(st.st_mode))
            continue;
        Paire& p = partiels[cible];
        (infos ? p.infos : p.donnees) = true;
        if (maintenant - st.st_mtime > agepartielmax || st.st_mtime - maintenant > agepartielmax)
            p.perime = true;
    }

    for (const auto& [cible, p] : partiels) {
        const QString chemincible = QDir::cleanPath(chemin + u'/' + QFile::decodeName(cible));
        if (p.perime || !p.donnees || !p.infos || !cibles.contains(chemincible)) {
            otersiordinaire(dossier, nompartiel(cible));
            otersiordinaire(dossier, nominfos(cible));
        }
    }
    if (profondeur >= profondeurmax)
        return;
    for (const QByteArray& nom : sousdossiers) {
        const int sous = ::openat(dossier, nom.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (sous < 0)
            continue;
        nettoyerdossier(sous, chemin + u'/' + QFile::decodeName(nom), cibles, profondeur + 1);
        ::close(sous);
    }
}

} // namespace

QByteArray nompartiel(const QByteArray& nom)
{
    return '.' + nom + suffixepartiel;
}

QByteArray nominfos(const QByteArray& nom)
{
    return '.' + nom + suffixeinfos;
}

std::optional<Partiel> lirepartiel(const QString& cible, const QString& racine)
{
    Place place;
    if (!placer(cible, racine, place))
        return std::nullopt;
    const Descripteur fd(
        ::openat(place.dossier, nominfos(place.nom).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.fd() < 0)
        return std::nullopt;
    QByteArray texte;
    try {
        texte = lireordinaire(fd.fd(), tailleinfosmax);
    } catch (const Echec&) {
        return std::nullopt;
    }
    if (!texte.endsWith('\n'))
        return std::nullopt;
    const QList<QByteArray> lignes = texte.chopped(1).split('\n');
    if (lignes.size() != 5 || lignes[0] != enteteinfos || lignes[1].isEmpty())
        return std::nullopt;
    bool ok = true;
    Partiel p;
    p.adresse = QString::fromUtf8(lignes[1]);
    p.validateurs.etag = lignes[2];
    p.validateurs.datemodif = nombre(lignes[3], ok);
    p.validateurs.longueur = nombre(lignes[4], ok);
    p.validateurs.plages = true;
    if (!ok || p.validateurs.longueur <= 0)
        return std::nullopt;
    return p;
}

void ecrirepartiel(const QString& cible, const QString& racine, const Partiel& partiel)
{
    const QByteArray adresse = partiel.adresse.toUtf8();
    const Validateurs& v = partiel.validateurs;
    for (const QByteArray& champ : {adresse, v.etag})
        if (champ.contains('\n') || champ.contains('\r') || champ.contains('\0'))
            throw Echec("champ impropre à un enregistrement de fichier partiel");
    const QByteArray texte = enteteinfos + '\n' + adresse + '\n' + v.etag + '\n' + QByteArray::number(v.datemodif)
                             + '\n' + QByteArray::number(v.longueur) + '\n';
    if (adresse.isEmpty() || texte.size() > tailleinfosmax)
        throw Echec("enregistrement de fichier partiel trop long");
    const QFileInfo info(cible);
    FichierAtomique f(info.path() + u'/' + QFile::decodeName(nominfos(QFile::encodeName(info.fileName()))), racine);
    f.ecrire(texte.constData(), static_cast<std::size_t>(texte.size()));
    // The address may carry a password: the record is for this user only.
    f.valider(0600);
}

void creerpartiel(const QString& cible, const QString& racine)
{
    Place place;
    if (!placer(cible, racine, place))
        throw Echec("dossier introuvable pour " + cible.toStdString());
    const QByteArray nom = nompartiel(place.nom);
    struct stat st {};
    if (::fstatat(place.dossier, nom.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0
        && (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)))
        ::unlinkat(place.dossier, nom.constData(), 0);
    const Descripteur fd(
        ::openat(place.dossier, nom.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.fd() < 0)
        throw Echec("création du fichier partiel de " + cible.toStdString() + ": " + std::strerror(errno));
}

bool partielgardable(const Validateurs& v)
{
    return v.plages && v.longueur > seuilpartiel
           && ((!v.etag.isEmpty() && !v.etag.startsWith("W/")) || v.datemodif >= 0);
}

bool nomdelupdater(const QString& nom)
{
    for (const QString& partie : QString(nom).replace(u'\\', u'/').split(u'/')) {
        const QString p = partie.trimmed();
        if (p.startsWith(QStringLiteral(".velorine-maj."), Qt::CaseInsensitive)
            || p.startsWith(QStringLiteral(".velorine-lien."), Qt::CaseInsensitive)
            || p.endsWith(QString::fromLatin1(suffixepartiel), Qt::CaseInsensitive)
            || p.endsWith(QString::fromLatin1(suffixeinfos), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

void oterpartiel(const QString& cible, const QString& racine) noexcept
{
    Place place;
    if (!placer(cible, racine, place))
        return;
    otersiordinaire(place.dossier, nompartiel(place.nom));
    otersiordinaire(place.dossier, nominfos(place.nom));
}

void nettoyerpartiels(const QString& racine, const QStringList& cibles)
{
    QSet<QString> attendues;
    for (const QString& c : cibles)
        attendues.insert(QDir::cleanPath(c));
    int dossier = -1;
    try {
        dossier = ouvrirsous(racine, QString(), O_RDONLY | O_DIRECTORY);
    } catch (const Echec&) {
        return;
    }
    if (dossier < 0)
        return;
    nettoyerdossier(dossier, QDir::cleanPath(racine), attendues, 0);
    ::close(dossier);
}

} // namespace velorine
