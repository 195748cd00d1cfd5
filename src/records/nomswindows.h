#pragma once
// Names that come from update files and update lists are Windows names:
// "\" separates folders and letter case does not matter. They are mapped to
// native paths under a folder the updater trusts, and refused when they
// would leave it.

#include <QString>

namespace velorine {

// The native separator, appended to a folder by avecseparateur().
inline constexpr QChar separateur = u'/';

// The folder with one separator appended when its text does not already end
// in one: a root keeps its single separator.
QString avecseparateur(const QString& dossier);

// Maps a Windows name ("DONNEES\LECON.DAT") to a native path under dossier.
// Both "\" and "/" separate folders; empty and "." parts are dropped. Each
// part that names an existing entry is matched without regard to case, an
// exact match winning, so "LECON.DAT" finds an existing "lecon.dat" instead
// of creating a twin; a part that matches nothing is kept as written.
// Throws Echec for an absolute name, a drive letter, a character Windows
// refuses in a name (control characters, DEL and <>:"|?*), or a ".." that
// would climb above dossier. An empty name gives dossier itself.
QString resoudrenom(const QString& dossier, const QString& nom);

// True for a character Windows refuses in a name.
bool caractererefuse(QChar c);

} // namespace velorine
