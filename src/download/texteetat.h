#pragma once
// The status line of the download window: the text of each connection state
// the transfer reports.

#include <QString>
#include <optional>

namespace velorine {

// States 0 to 12 have a text (0 the empty text; 10 and 12 both "Transfert
// terminé"). Any other value has none: the status line keeps its text.
std::optional<QString> texteetat(int etat);

} // namespace velorine
