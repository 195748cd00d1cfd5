#include "records/donneesproduit.h"

#include "base/echec.h"
#include "records/nombres.h"

namespace velorine::donnees {

std::int16_t lireniveau(Fente& fente, const QString& fichiertempo)
{
    fente.ouvrirenreg(fichiertempo);
    const QString texte = fente.lireenreg(enregniveau);
    const std::int16_t niveau = entier16(lirenombre(texte));
    fente.fermerfichier();
    return niveau;
}

void lireniveauignorer(Fente& fente, const QString& fichiertempo, std::int16_t& niveau)
{
    QString texte;
    ignorer([&] { fente.ouvrirenreg(fichiertempo); });
    ignorer([&] { texte = fente.lireenreg(enregniveau); });
    ignorer([&] { niveau = entier16(lirenombre(texte)); });
    fente.fermerfichier();
}

QString lireadresse(Fente& fente, const QString& cheminparanet)
{
    fente.ouvrirenreg(cheminparanet);
    const QString adresse = fente.lireenreg(enregadresse);
    fente.fermerfichier();
    return adresse;
}

void ecrireniveau(Fente& fente, const QString& fichiertempo, std::int16_t niveau)
{
    try {
        fente.ouvrirenreg(fichiertempo);
        fente.ecrireenreg(enregniveau, textenombre(niveau));
    } catch (...) {
        fente.fermerfichier();
        throw;
    }
    fente.fermerfichier();
}

} // namespace velorine::donnees
