#include "platform/boucle.h"

#include <QCoreApplication>

namespace velorine {

void BoucleQt::ceder()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace velorine
