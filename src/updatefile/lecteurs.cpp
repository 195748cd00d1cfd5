#include "updatefile/lecteurs.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>

namespace velorine {
namespace {

bool amovible(const QString& racine)
{
    for (const char* base : {"/media", "/run/media", "/mnt"}) {
        const QString b = QString::fromLatin1(base);
        if (racine == b || racine.startsWith(b + u'/'))
            return true;
    }
    return false;
}

} // namespace

bool contient(const QString& racine, const QString& dossier)
{
    if (racine == QStringLiteral("/"))
        return dossier.startsWith(u'/');
    return dossier == racine || dossier.startsWith(racine + u'/');
}

QList<Lecteur> lecteursmachine()
{
    QList<Lecteur> lecteurs{{QStringLiteral("/"), QStringLiteral("/ (Système)")}};

    const QString maison = QDir::cleanPath(QDir::homePath());
    if (maison != QStringLiteral("/") && QFileInfo(maison).isDir())
        lecteurs.append({maison, QStringLiteral("Dossier personnel")});

    QList<Lecteur> amovibles;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString racine = QDir::cleanPath(volume.rootPath());
        if (!amovible(racine))
            continue;
        const bool connu =
            std::any_of(amovibles.cbegin(), amovibles.cend(), [&](const Lecteur& l) { return l.racine == racine; });
        if (connu)
            continue;
        QString libelle = volume.name();
        if (libelle.isEmpty())
            libelle = QFileInfo(racine).fileName();
        amovibles.append({racine, libelle});
    }
    std::sort(amovibles.begin(), amovibles.end(),
              [](const Lecteur& a, const Lecteur& b) { return QString::localeAwareCompare(a.libelle, b.libelle) < 0; });
    lecteurs += amovibles;
    return lecteurs;
}

qsizetype indexlecteur(const QList<Lecteur>& lecteurs, const QString& dossier)
{
    qsizetype meilleur = -1;
    for (qsizetype i = 0; i < lecteurs.size(); ++i) {
        const QString racine = QDir::cleanPath(lecteurs[i].racine);
        if (contient(racine, dossier)
            && (meilleur < 0 || racine.size() > QDir::cleanPath(lecteurs[meilleur].racine).size()))
            meilleur = i;
    }
    return meilleur;
}

} // namespace velorine
