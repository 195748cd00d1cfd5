#include "releve.h"

#include "echec.h"
#include "nombres.h"

namespace velorine {

Releve relever(const QStringList& liste, std::int16_t versionactuelle, double& v)
{
    Releve r;
    const int n = static_cast<int>(liste.size());
    for (int k = 0; k <= n - 1; k += 3) {
        ignorer([&] { v = lirenombre(liste[k]); });
        if (v > versionactuelle) {
            r.groupes.append(k);
            ignorer([&] { r.plusrecents = plusun(r.plusrecents); });
        }
        if (v > r.nouveau)
            ignorer([&] { r.nouveau = entier16(v); });
    }
    return r;
}

} // namespace velorine
