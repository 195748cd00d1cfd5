#include "records/configuration.h"

#include <QMutex>

namespace velorine {
namespace {

QMutex verrou;

QString& dossier()
{
    static QString d = QStringLiteral(VELORINE_CONF_DIR);
    return d;
}

} // namespace

QString dossierconfiguration()
{
    const QMutexLocker garde(&verrou);
    return dossier();
}

void reglerdossierconfiguration(const QString& d)
{
    const QMutexLocker garde(&verrou);
    dossier() = d;
}

} // namespace velorine
