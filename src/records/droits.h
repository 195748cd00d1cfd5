#pragma once
// The rights of a product folder shared by a group: every teacher of the
// group may update after any other. In a folder its group may write, every
// file and folder the updater creates or replaces gets the folder's group
// and, for that group, the rights its owner has (a read-only file stays
// read-only, an executable stays executable), whatever the running user's
// umask. Elsewhere nothing is added.

#include <QString>
#include <sys/types.h>

namespace velorine {

// Whether the folder open as dossier is writable by its group.
bool ecritureparlegroupe(int dossier);

// The mode mode with the owner's rights given to the group too, when the
// folder open as dossier is writable by its group; mode as it is otherwise.
mode_t modedansdossier(int dossier, mode_t mode);

// Gives the file or folder open as fd, which lies in the folder open as
// dossier, the folder's group and the rights of modedansdossier() (a folder
// also the set-group-id bit), when that folder is writable by its group.
// Only what this user may change: a failure is ignored, the file keeps
// its rights.
void donnerdroitsdugroupe(int fd, int dossier);

// Repairs the rights of a product copied in by hand: every file and folder
// beneath dossier (dossier included, no symbolic link followed, no other
// file system entered) gets the group of dossier, the rights of its owner
// for that group, and each folder the set-group-id bit. Returns the number
// of entries that could not be repaired, after a line on standard error
// for each.
int reparerdroits(const QString& dossier);

} // namespace velorine
