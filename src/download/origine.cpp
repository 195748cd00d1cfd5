#include "download/origine.h"

#include "base/texte.h"
#include "download/etapes.h"
#include "records/configuration.h"
#include "records/fichierenreg.h"
#include "records/nomswindows.h"
#include "records/sousdossier.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace velorine {
namespace {

// Record n (from 1) of a record file held in memory, read as the single
// file slot reads it: a record at or past the end is the empty text, a
// damaged one is none.
std::optional<QString> enregistrement(const QByteArray& fichier, int n)
{
    const qsizetype debut = static_cast<qsizetype>(n - 1) * static_cast<qsizetype>(enreg::taille);
    const qsizetype lus = std::clamp(fichier.size() - debut, qsizetype{0}, static_cast<qsizetype>(enreg::taille));
    try {
        return enreg::texte(fichier.constData() + std::min(debut, fichier.size()), static_cast<std::size_t>(lus), n);
    } catch (const Echec&) {
        return std::nullopt;
    }
}

// The entries of an update list up to its first blank record, as the list
// box receives them; none when the marker is missing or a record is damaged.
std::optional<QStringList> entrees(const QByteArray& liste)
{
    if (enregistrement(liste, 1) != marqueliste)
        return std::nullopt;
    QStringList resultat;
    for (int n = 2; n <= enreg::numeromax; ++n) {
        const std::optional<QString> t = enregistrement(liste, n);
        if (!t)
            return std::nullopt;
        if (rogner(*t).isEmpty())
            return resultat;
        resultat.append(*t);
    }
    return std::nullopt;
}

Empreinte sha256(const QByteArray& contenu)
{
    const QByteArray h = QCryptographicHash::hash(contenu, QCryptographicHash::Sha256);
    Empreinte e{};
    std::memcpy(e.data(), h.constData(), e.size());
    return e;
}

void audebut(int fd)
{
    if (::lseek(fd, 0, SEEK_SET) < 0)
        throw Echec(std::string("liste : retour au début impossible : ") + std::strerror(errno));
}

// Whether a user other than this one (or root) could replace the key:
// the file open as fd, or its folder open as dossier, belongs to another
// user or may be written by a group or by others.
bool remplacableparunautre(int dossier, int fd)
{
    for (const int f : {dossier, fd}) {
        struct stat st {};
        if (::fstat(f, &st) != 0)
            return true;
        if ((st.st_uid != 0 && st.st_uid != ::geteuid()) || (st.st_mode & (S_IWGRP | S_IWOTH)))
            return true;
    }
    return false;
}

// The key file of a folder, or none when the folder holds none.
std::optional<ClePublique> clededossier(const QString& dossier)
{
    try {
        const QString chemin = resoudrenom(dossier, QString::fromLatin1(nomclepublique));
        // Not a symbolic link, and never a device or a pipe that would
        // block the run.
        const Descripteur cle(ouvrirsous(dossier, relatifa(dossier, chemin), O_RDONLY | O_NONBLOCK | O_NOCTTY));
        if (cle.fd() < 0) {
            if (errno == ENOENT)
                return std::nullopt;
            throw Echec(std::strerror(errno));
        }
        const Descripteur parent(
            ouvrirsous(dossier, relatifa(dossier, QFileInfo(chemin).path()), O_RDONLY | O_DIRECTORY));
        if (parent.fd() < 0 || remplacableparunautre(parent.fd(), cle.fd()))
            throw Echec("un autre utilisateur pourrait la remplacer (" + QFile::encodeName(chemin).toStdString() + ")");
        return lirecle(lireordinaire(cle.fd(), taillemaxcle));
    } catch (const std::exception& e) {
        throw EchecPreuve(std::string(nomclepublique) + " : " + e.what());
    }
}

} // namespace

std::optional<ClePublique> clepublique(const QString& dossierproduit)
{
    // The administrator's key comes first: nothing in the product folder
    // can turn the proof off or put another key in its place.
    if (std::optional<ClePublique> cle = clededossier(dossierconfiguration()))
        return cle;
    return clededossier(dossierproduit);
}

Manifeste prouverliste(const ClePublique& cle, const QString& adresse, int liste, const Chercher& chercher)
{
    const auto obtenir = [&](const char* suffixe, qint64 max) {
        const QString ou = adresse + QString::fromLatin1(suffixe);
        try {
            return chercher(ou, max);
        } catch (const std::exception& e) {
            throw EchecPreuve(adressemontree(ou).toStdString() + " : " + e.what());
        }
    };
    try {
        const QByteArray manifeste = obtenir(suffixemanifeste, taillemaxmanifeste);
        const QByteArray signature = obtenir(suffixesignature, taillemaxsignature);
        Manifeste prouve = manifesteprouve(cle, manifeste, signature);
        const Empreinte attendue = prouve.empreinte(QString::fromLatin1(nomlisteprouvee));
        audebut(liste);
        if (sha256fd(liste) == attendue)
            return prouve;

        // A mirror's list: the publisher's own list must be beside it.
        const QByteArray origine = obtenir(suffixeorigine, taillemaxliste);
        if (sha256(origine) != attendue)
            throw Echec("liste : ne correspond pas au manifeste");
        audebut(liste);
        if (!memesgroupes(lireborne(liste, taillemaxliste), origine))
            throw Echec("liste : d'autres groupes que ceux de la liste signée");
        return prouve;
    } catch (const EchecPreuve&) {
        throw;
    } catch (const std::exception& e) {
        throw EchecPreuve(e.what());
    }
}

bool memesgroupes(const QByteArray& liste, const QByteArray& origine)
{
    const std::optional<QStringList> a = entrees(liste);
    const std::optional<QStringList> b = entrees(origine);
    if (!a || !b || a->size() != b->size())
        return false;
    for (qsizetype i = 0; i < a->size(); ++i) {
        // Each group is a level, an address and a name.
        if (i % 3 != 1 && (*a)[i] != (*b)[i])
            return false;
    }
    return true;
}

std::function<void(int fd)> controlefichier(const Manifeste& manifeste, const QString& nom)
{
    return [&manifeste, nom](int fd) {
        try {
            verifierfichier(manifeste, nom, fd);
        } catch (const std::exception& e) {
            throw EchecPreuve(e.what());
        }
    };
}

void signalerpreuve(bool bavard, const EchecPreuve& echec)
{
    static const QLoggingCategory journalpreuve("velorine.preuve", QtInfoMsg);
    // A reason may quote a name read from the network: no control
    // character reaches the terminal.
    QByteArray raison(echec.what());
    for (char& c : raison) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    }
    if (bavard) {
        std::fprintf(stderr, "velorine-maj: preuve d'origine: %s\n", raison.constData());
        std::fflush(stderr);
    } else {
        qCDebug(journalpreuve, "preuve d'origine : %s", raison.constData());
    }
}

void PuitsMemoire::ecrire(const char* octets, std::size_t nombre)
{
    if (static_cast<qint64>(nombre) > max_ - contenu_.size())
        throw Echec("plus de " + std::to_string(max_) + " octets");
    contenu_.append(octets, static_cast<qsizetype>(nombre));
}

} // namespace velorine
