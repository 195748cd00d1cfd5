#include "download/lectureliste.h"

#include "records/donneesproduit.h"

#include <QDir>

namespace velorine {

std::optional<QStringList> lireliste(Etat& etat, Services& services, const QString& dossier)
{
    etat.dossierproduit = dossier;
    etat.fichierliste = QDir(dossier).filePath(donnees::liste);
    HoteListe hote;
    cartesnet(etat, services, hote);
    dresseliste(etat, services, hote);
    if (etat.abandon)
        return std::nullopt;
    const QStringList liste = hote.List1();
    if (liste.isEmpty()) {
        services.dialogues.message(Icone::Erreur, QStringLiteral("Erreur"),
                                   QStringLiteral("Erreur lors de l'ouverture du fichier"));
        return std::nullopt;
    }
    return liste;
}

} // namespace velorine
