// The installation from an update file, on any bytes: it reports one
// message and either hands control back to the product or stops; nothing is
// written outside the product folder.

#include "commun.h"
#include "faux.h"
#include "updatefile/installation.h"

#include <QDir>
#include <QDirIterator>

using namespace velorine;
using namespace velorine::test;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* octets, std::size_t taille)
{
    static const QString cle = [] {
        const QString c = fuzz::dossiertravail() + QStringLiteral("/cle");
        QDir().mkpath(c + QStringLiteral("/Donnees"));
        QFile a(c + QStringLiteral("/A.DAT"));
        if (a.open(QIODevice::WriteOnly))
            a.write("A");
        QFile b(c + QStringLiteral("/Donnees/B.DAT"));
        if (b.open(QIODevice::WriteOnly))
            b.write("B");
        return c;
    }();
    const QString produit = fuzz::dossiertravail() + QStringLiteral("/produit");
    QDir(produit).removeRecursively();
    QDir().mkpath(produit + QStringLiteral("/Donnees"));
    const QString maj = fuzz::ecrire(QStringLiteral("cle/M.MAJ"), octets, taille);

    Faux faux;
    Services services = faux.services();
    Etat etat;
    etat.dossierproduit = produit;
    try {
        installer(etat, services, maj, cle);
    } catch (const FinProcessus&) {
    }
    if (etat.fente.ouverte() || faux.dialogues.boites.size() != 1)
        std::abort();
    // Only the files of the stick (the update file may name itself), and the
    // folder, may appear: under those names in any letter case, since a name
    // that matches no existing entry is created as the update file spells it.
    QDirIterator it(produit, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString rel = it.next().mid(produit.size() + 1);
        const bool permis = rel.compare(u"A.DAT", Qt::CaseInsensitive) == 0
                            || rel.compare(u"Donnees", Qt::CaseInsensitive) == 0
                            || rel.compare(u"Donnees/B.DAT", Qt::CaseInsensitive) == 0
                            || rel.compare(u"M.MAJ", Qt::CaseInsensitive) == 0;
        if (!permis)
            std::abort();
    }
    return 0;
}
