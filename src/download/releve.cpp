#include "download/releve.h"

#include "base/echec.h"
#include "records/nombres.h"

#include <algorithm>

namespace velorine {

std::optional<double> niveaude(const QString& entree)
{
    std::optional<double> v;
    ignorer([&] { v = lirenombre(entree); });
    return v;
}

Releve relever(const QStringList& liste, std::int16_t versionactuelle)
{
    Releve r;
    // The level only goes up, and a negative level is never recorded.
    r.nouveau = std::max<std::int16_t>(0, versionactuelle);
    const int n = static_cast<int>(liste.size());
    for (int k = 0; k <= n - 1; k += 3) {
        const std::optional<double> v = niveaude(liste[k]);
        if (!v)
            continue;
        if (*v > versionactuelle) {
            r.groupes.append(k);
            ignorer([&] { r.plusrecents = plusun(r.plusrecents); });
        }
        if (*v > r.nouveau)
            ignorer([&] { r.nouveau = entier16(*v); });
        if (!r.plushaut || *v > *r.plushaut)
            ignorer([&] { r.plushaut = entier16(*v); });
    }
    return r;
}

} // namespace velorine
