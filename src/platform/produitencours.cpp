#include "platform/produitencours.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace velorine {
namespace {

QString canonique(const QString& dossier)
{
    const QString c = QFileInfo(dossier).canonicalFilePath();
    return c.isEmpty() ? QDir::cleanPath(QFileInfo(dossier).absoluteFilePath()) : c;
}

// Whether one argument names the product's VELORINE.EXE.
bool nommeleproduit(QString argument, const QString& dossiercourant, const QString& produit)
{
    argument.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const qsizetype barre = argument.lastIndexOf(QLatin1Char('/'));
    if (argument.mid(barre + 1).compare(QLatin1String("VELORINE.EXE"), Qt::CaseInsensitive) != 0)
        return false;
    QString dossier = barre < 0 ? QString() : argument.left(barre + 1);
    if (dossier.size() >= 3 && dossier[0].isLetter() && dossier[1] == u':' && dossier[2] == u'/') {
        if (dossier[0].toUpper() != u'Z')
            return true; // another drive of wine: where it leads is not known here
        dossier = dossier.mid(2);
    }
    if (!dossier.startsWith(QLatin1Char('/'))) {
        if (dossiercourant.isEmpty())
            return true;
        dossier = dossiercourant + QLatin1Char('/') + dossier;
    }
    return canonique(dossier).compare(produit, Qt::CaseSensitive) == 0;
}

} // namespace

bool lancedepuis(const QByteArray& lignecommande, const QString& dossiercourant, const QString& dossierproduit)
{
    const QString produit = canonique(dossierproduit);
    for (const QByteArray& argument : lignecommande.split('\0')) {
        if (!argument.isEmpty() && nommeleproduit(QFile::decodeName(argument), dossiercourant, produit))
            return true;
    }
    return false;
}

bool produitencours(const QString& dossierproduit)
{
    const QDir proc(QStringLiteral("/proc"));
    const qint64 moi = QCoreApplication::applicationPid();
    for (const QString& pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool nombre = false;
        const qint64 n = pid.toLongLong(&nombre);
        if (!nombre || n == moi)
            continue;
        QFile commande(proc.filePath(pid + QStringLiteral("/cmdline")));
        if (!commande.open(QIODevice::ReadOnly))
            continue;
        const QByteArray ligne = commande.read(1 << 16);
        if (!ligne.contains("VELORINE.EXE") && !ligne.toUpper().contains("VELORINE.EXE"))
            continue;
        const QString courant = QFileInfo(proc.filePath(pid + QStringLiteral("/cwd"))).symLinkTarget();
        if (lancedepuis(ligne, courant, dossierproduit))
            return true;
    }
    return false;
}

} // namespace velorine
