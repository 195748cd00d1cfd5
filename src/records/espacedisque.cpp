#include "records/espacedisque.h"

#include "base/echec.h"

#include <QFile>
#include <sys/statvfs.h>

namespace velorine {

void reserverespace(const QString& dossier, std::size_t nombre)
{
    struct statvfs fs {};
    if (::statvfs(QFile::encodeName(dossier).constData(), &fs) != 0 || fs.f_blocks == 0)
        return;
    const unsigned long long bloc = fs.f_frsize ? fs.f_frsize : fs.f_bsize;
    const unsigned long long taille = static_cast<unsigned long long>(fs.f_blocks) * bloc;
    const unsigned long long libre = static_cast<unsigned long long>(fs.f_bavail) * bloc;
    const unsigned long long reserve = taille / 100 * resteminimum;
    if (libre < reserve || libre - reserve < nombre)
        throw Echec("le disque de " + dossier.toStdString() + " serait plein à plus de "
                    + std::to_string(100 - resteminimum) + " %");
}

} // namespace velorine
