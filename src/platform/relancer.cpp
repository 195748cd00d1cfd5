#include "platform/relancer.h"

#include "base/echec.h"
#include "records/nomswindows.h"

#include <cstdlib>

namespace velorine {

void relancer(const QString& dossierproduit, Coquille& coquille)
{
    // Ignore mode throughout: a product that cannot be started is not
    // reported, and the updater ends all the same.
    QString programme = avecseparateur(dossierproduit) + QStringLiteral("VELORINE.EXE");
    ignorer([&] { programme = resoudrenom(dossierproduit, QStringLiteral("VELORINE.EXE")); });
    coquille.demarrer(programme);
    coquille.terminer();
    std::abort(); // a shell's terminer() never returns
}

} // namespace velorine
