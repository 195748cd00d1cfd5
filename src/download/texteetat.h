#pragma once
// The status line of the download window: the text of each connection state
// the transfer reports.

#include "platform/transfert.h"

#include <QString>
#include <optional>

namespace velorine {

// Every state has a text (Aucun the empty text; Deconnecte and Termine both
// "Transfert terminé"). Any other value has none: the status line keeps its
// text.
std::optional<QString> texteetat(EtatTransfert etat);

} // namespace velorine
