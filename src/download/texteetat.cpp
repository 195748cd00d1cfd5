#include "download/texteetat.h"

namespace velorine {

std::optional<QString> texteetat(EtatTransfert etat)
{
    switch (etat) {
    case EtatTransfert::Aucun:
        return QString();
    case EtatTransfert::Recherche:
        return QStringLiteral("Recherche de l'hôte");
    case EtatTransfert::HoteTrouve:
        return QStringLiteral("L'hôte a été trouvé");
    case EtatTransfert::Connexion:
        return QStringLiteral("Connexion en cours avec le serveur");
    case EtatTransfert::Connecte:
        return QStringLiteral("Connexion établie");
    case EtatTransfert::Demande:
        return QStringLiteral("Demande de données");
    case EtatTransfert::DemandeEnvoyee:
        return QStringLiteral("Demande acceptée");
    case EtatTransfert::Reponse:
        return QStringLiteral("Réponse du serveur");
    case EtatTransfert::Reception:
        return QStringLiteral("Réception des données");
    case EtatTransfert::Deconnexion:
        return QStringLiteral("Déconnexion du serveur");
    case EtatTransfert::Deconnecte:
        return QStringLiteral("Transfert terminé");
    case EtatTransfert::Erreur:
        return QStringLiteral("Erreur de transmission");
    case EtatTransfert::Termine:
        return QStringLiteral("Transfert terminé");
    }
    return std::nullopt;
}

} // namespace velorine
