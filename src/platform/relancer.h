#pragma once
// Hands control back to the product: starts VELORINE.EXE from the product
// folder and ends the updater at once. Never returns.

#include "platform/coquille.h"

#include <QString>

namespace velorine {

[[noreturn]] void relancer(const QString& dossierproduit, Coquille& coquille);

} // namespace velorine
