#pragma once
// Names that come from update files and update lists are Windows names:
// "\" separates folders and letter case does not matter. They are mapped to
// native paths under a folder the updater trusts, and refused when they
// would leave it.

#include <QString>
#include <memory>

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
// of creating a twin; a part that matches nothing is kept as written. Of
// several entries that differ only in case, none of them the part as
// written, the one differing from it in the fewest characters is taken (the
// first in code order when they tie).
// Throws Echec for an absolute name, a drive letter, a character Windows
// refuses in a name (control characters, DEL and <>:"|?*), or a ".." that
// would climb above dossier. An empty name gives dossier itself.
//
// The path is only a name: the file operations that use it reach it
// without following any symbolic link (sousdossier.h), so a folder changed
// by someone else since it was read never leads a write elsewhere.
QString resoudrenom(const QString& dossier, const QString& nom);

// True for a character Windows refuses in a name.
bool caractererefuse(QChar c);

// The folders of one run, each read once. While a MemoireNoms lives (on
// this thread), resoudrenom() reads each folder it looks in the first time
// only, and the entries the run itself makes (entreecreee) or removes
// (entreeotee) keep what it read up to date: a run over thousands of names
// reads each folder once instead of once a name. Without one, every call
// reads the folders afresh. A MemoireNoms made while another lives adds
// nothing: the outer one serves.
class MemoireNoms {
public:
    MemoireNoms();
    ~MemoireNoms();
    MemoireNoms(const MemoireNoms&) = delete;
    MemoireNoms& operator=(const MemoireNoms&) = delete;

    struct Dossiers;

private:
    std::unique_ptr<Dossiers> dossiers_; // null when an outer one serves
};

// The run made an entry at chemin (created it, or renamed a file onto it).
void entreecreee(const QString& chemin);
// The run removed the entry at chemin.
void entreeotee(const QString& chemin);

} // namespace velorine
