#include "platform/relancer.h"

#include "base/echec.h"
#include "records/nomswindows.h"

#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace velorine {
namespace {

// Whether a user other than root could have changed the program, or put
// another in its place: the program or its folder writable by a group or
// by others (a missing program is checked by its folder alone).
bool modifiableparunautre(const QString& programme)
{
    for (const QString& chemin : {QFileInfo(programme).path(), programme}) {
        struct stat st {};
        if (::stat(QFile::encodeName(chemin).constData(), &st) != 0)
            continue;
        if ((st.st_mode & (S_IWGRP | S_IWOTH)) || st.st_uid != 0)
            return true;
    }
    return false;
}

} // namespace

void relancer(const QString& dossierproduit, Coquille& coquille)
{
    // Ignore mode throughout: a product that cannot be started is not
    // reported, and the updater ends all the same.
    QString programme = avecseparateur(dossierproduit) + QStringLiteral("VELORINE.EXE");
    ignorer([&] { programme = resoudrenom(dossierproduit, QStringLiteral("VELORINE.EXE")); });
    // Root never runs what a teacher of the product's group could have
    // changed.
    if (::geteuid() == 0 && modifiableparunautre(programme)) {
        std::fprintf(stderr,
                     "velorine-maj: Velorine n'est pas relancé : root ne lance pas un programme "
                     "que d'autres utilisateurs peuvent modifier (%s)\n",
                     QFile::encodeName(programme).constData());
        std::fflush(stderr);
    } else {
        coquille.demarrer(programme);
    }
    coquille.terminer();
    std::abort(); // a shell's terminer() never returns
}

} // namespace velorine
