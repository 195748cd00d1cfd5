// The record reader on any bytes: every record either reads as a text of at
// most 126 characters or fails with Echec, and the slot closes cleanly.

#include "commun.h"
#include "base/echec.h"
#include "records/fichierenreg.h"

using namespace velorine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* octets, std::size_t taille)
{
    const QString chemin = fuzz::ecrire(QStringLiteral("TEMPO.QZS"), octets, taille);
    Fente fente;
    fente.ouvrirenreg(chemin);
    const int dernier = static_cast<int>(taille / enreg::taille) + 2;
    for (int n = 1; n <= dernier && n <= enreg::numeromax; ++n) {
        try {
            const QString texte = fente.lireenreg(n);
            if (static_cast<std::size_t>(texte.size()) > enreg::textemax)
                std::abort();
        } catch (const Echec&) {
        }
    }
    // Writing back the last record keeps the file readable.
    try {
        fente.ecrireenreg(24, QStringLiteral(" 5"));
        if (fente.lireenreg(24) != QStringLiteral(" 5"))
            std::abort();
    } catch (const Echec&) {
        std::abort();
    }
    fente.fermerfichier();
    return 0;
}
