// The Windows-name mapping on any name: a path under the folder, or Echec;
// never a path that leaves it or carries a character Windows refuses.

#include "commun.h"
#include "base/echec.h"
#include "records/nomswindows.h"

#include <QDir>

using namespace velorine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* octets, std::size_t taille)
{
    static const QString racine = [] {
        const QString r = fuzz::dossiertravail() + QStringLiteral("/produit");
        QDir().mkpath(r + QStringLiteral("/Donnees/Sons"));
        return r;
    }();
    const QString nom = QString::fromUtf8(reinterpret_cast<const char*>(octets), static_cast<qsizetype>(taille));
    try {
        const QString chemin = resoudrenom(racine, nom);
        if (chemin != racine && !chemin.startsWith(avecseparateur(racine)))
            std::abort();
        const QString reste = chemin.mid(racine.size());
        for (const QString& partie : reste.split(u'/', Qt::SkipEmptyParts)) {
            if (partie == u".." || partie == u".")
                std::abort();
            for (const QChar c : partie)
                if (caractererefuse(c))
                    std::abort();
        }
    } catch (const Echec&) {
    }
    return 0;
}
