#include "download/controleurfeuille.h"

#include "download/feuille.h"
#include "download/texteetat.h"
#include "platform/gardien.h"
#include "platform/relancer.h"

namespace velorine {

ControleurFeuille::ControleurFeuille(Etat& etat, Services& services, Etapes& etapes, VueFeuille& vue)
    : etat_(etat), services_(services), etapes_(etapes), vue_(vue)
{
}

bool ControleurFeuille::charger()
{
    charge_ = true;
    dechargement_ = false;
    activee_ = false;
    vue_.recharger();
    const bool lu = chargerfeuille(etat_, services_, *this);
    if (!lu || !charge_) {
        decharger(); // already done by the load's failure block
        return false;
    }
    return true;
}

void ControleurFeuille::activer()
{
    if (!charge_ || dechargement_ || activee_)
        return;
    activee_ = true;
    etapesencours_ = true;
    struct Fin {
        bool& encours;
        ~Fin() { encours = false; }
    } fin{etapesencours_};
    vue_.Labet(QStringLiteral("Téléchargement du fichier"));
    etapes_.cartesnet(etat_, services_, *this);
    etapes_.dresseliste(etat_, services_, *this);
    etapes_.tesparti(etat_, services_, *this);
}

void ControleurFeuille::annuler()
{
    etat_.fente.fermerfichier();
    etat_.abandon = true;
    ignorer([&] { services_.transfert.annuler(); });
    ignorer([&] { services_.boucle.ceder(); });
    ignorer([&] { services_.dialogues.bip(); });
    decharger();
}

void ControleurFeuille::fermer()
{
    if (etapesencours_ && !dechargement_) {
        etat_.fente.fermerfichier();
        etat_.abandon = true;
        ignorer([&] { services_.transfert.annuler(); });
    }
    decharger();
}

void ControleurFeuille::decharger()
{
    if (!charge_ || dechargement_)
        return;
    dechargement_ = true;
    // The query to close, then the close itself.
    gardien([&] { velorine::couper(services_); });
    gardien([&] { fermerfeuille(etat_); });
    charge_ = false;
    vue_.cacher();
}

void ControleurFeuille::couper()
{
    velorine::couper(services_);
}

void ControleurFeuille::choixannuler()
{
    // The chooser's entry 2: a fresh choice, then back to the product.
    etat_.abandon = false;
    relancer(etat_.dossierproduit, services_.coquille);
}

void ControleurFeuille::etattransfert(EtatTransfert etat)
{
    // The status line follows the transfer while the window is loaded.
    if (!charge_)
        return;
    if (const auto texte = texteetat(etat))
        vue_.Labet(*texte);
}

} // namespace velorine
