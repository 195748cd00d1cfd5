#include "download/texteetat.h"

#include <array>

namespace velorine {

std::optional<QString> texteetat(int etat)
{
    static const std::array<const char16_t*, 13> textes = {
        u"",                                  // 0  no activity
        u"Recherche de l'hôte",               // 1  looking up the host
        u"L'hôte a été trouvé",               // 2  host found
        u"Connexion en cours avec le serveur", // 3  connecting
        u"Connexion établie",                 // 4  connected
        u"Demande de données",                // 5  sending the request
        u"Demande acceptée",                  // 6  request sent
        u"Réponse du serveur",                // 7  receiving the response
        u"Réception des données",             // 8  response received
        u"Déconnexion du serveur",            // 9  disconnecting
        u"Transfert terminé",                 // 10 disconnected
        u"Erreur de transmission",            // 11 communication error
        u"Transfert terminé",                 // 12 response complete
    };
    if (etat < 0 || etat >= static_cast<int>(textes.size()))
        return std::nullopt;
    return QString::fromUtf16(textes[static_cast<std::size_t>(etat)]);
}

} // namespace velorine
