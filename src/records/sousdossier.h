#pragma once
// Opening a name beneath a folder without following any symbolic link.
//
// The updater may run as root on a folder that others can write. A link
// placed there (a file, or a folder on the way to it, pointing elsewhere)
// must never lead a write or a copy outside the folder. Every part of the
// name below the folder is therefore resolved without following a link:
// openat2() with RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS where the kernel has
// it, otherwise one part at a time with O_NOFOLLOW. The folder itself is
// trusted, as the administrator named it.

#include <QByteArray>
#include <QString>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

namespace velorine {

// An open descriptor, closed when it goes.
class Descripteur {
public:
    explicit Descripteur(int fd = -1) : fd_(fd) {}
    ~Descripteur()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descripteur(const Descripteur&) = delete;
    Descripteur& operator=(const Descripteur&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

// The part of chemin below racine ("" for racine itself). Throws Echec when
// chemin does not lie below racine.
QString relatifa(const QString& racine, const QString& chemin);

// Opens relatif (native "/" separators, no "..") beneath the folder racine
// with the flags and mode of open(2), O_CLOEXEC added. Fails with ELOOP when
// any part of it is a symbolic link, and never creates through one. An empty
// relatif opens racine itself. Returns the descriptor, or -1 with errno set.
int ouvrirsous(const QString& racine, const QString& relatif, int drapeaux, mode_t mode = 0);

// The same from a folder already open. Returns -1 with errno set.
int ouvrirsousfd(int dossier, const QByteArray& relatif, int drapeaux, mode_t mode = 0);

// The way without openat2(): one part at a time, each opened with
// O_NOFOLLOW from the folder opened before it.
int ouvrirparpartie(int dossier, const QByteArray& relatif, int drapeaux, mode_t mode = 0);

// The names in the folder open as dossier, "." and ".." left out, read
// through a descriptor of its own; none when it cannot be read.
std::vector<QByteArray> nomsdans(int dossier);

} // namespace velorine
