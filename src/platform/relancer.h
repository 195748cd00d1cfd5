#pragma once
// Hands control back to the product: starts VELORINE.EXE from the product
// folder and ends the updater at once. Never returns. Run as root, it
// starts nothing that a user other than root could have changed (the
// program or its folder writable by a group or others, or not root's).

#include "platform/coquille.h"

#include <QString>

namespace velorine {

[[noreturn]] void relancer(const QString& dossierproduit, Coquille& coquille);

} // namespace velorine
