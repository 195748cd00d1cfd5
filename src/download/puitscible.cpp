#include "download/puitscible.h"

#include "records/espacedisque.h"

#include <QFileInfo>

namespace velorine {

PuitsCible::PuitsCible(std::function<QString()> cible, const QString& racine, bool enavance)
    : cible_(std::move(cible)), racine_(racine), enavance_(enavance)
{
}

void PuitsCible::ecrire(const char* octets, std::size_t nombre)
{
    FichierAtomique& f = fichier();
    reserverespace(QFileInfo(f.cible()).path(), nombre);
    f.ecrire(octets, nombre);
}

void PuitsCible::recommencer()
{
    fichier_.reset();
}

void PuitsCible::valider(DossiersASynchroniser& dossiers)
{
    FichierAtomique& f = fichier();
    if (enavance_) {
        const QString cible = cible_();
        if (cible != f.cible())
            f.recibler(cible);
    }
    if (controle_)
        controle_(f.descripteur());
    f.valider(std::nullopt, &dossiers);
}

FichierAtomique& PuitsCible::fichier()
{
    if (!fichier_)
        fichier_.emplace(cible_(), racine_);
    return *fichier_;
}

} // namespace velorine
