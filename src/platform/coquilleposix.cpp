#include "platform/coquille.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace velorine {
namespace {

bool programmewindows(const QByteArray& chemin)
{
    const int fd = ::open(chemin.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    char signature[2] = {};
    const bool mz = ::read(fd, signature, 2) == 2 && signature[0] == 'M' && signature[1] == 'Z';
    ::close(fd);
    return mz;
}

} // namespace

void CoquillePosix::demarrer(const QString& programme) noexcept
{
    const QByteArray chemin = QFile::encodeName(programme);
    const QByteArray dossier = QFile::encodeName(QFileInfo(programme).absolutePath());
    const QByteArray wine = programmewindows(chemin)
                                ? QFile::encodeName(QStandardPaths::findExecutable(QStringLiteral("wine")))
                                : QByteArray();

    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid != 0)
        return; // the parent, or a failed fork: nothing to report

    // The child: detach from the updater, which ends right after.
    ::setsid();
    ::signal(SIGHUP, SIG_IGN);
    const int nul = ::open("/dev/null", O_RDWR);
    if (nul >= 0) {
        ::dup2(nul, 0);
        ::dup2(nul, 1);
        ::dup2(nul, 2);
        if (nul > 2)
            ::close(nul);
    }
    if (::chdir(dossier.constData()) != 0) {
        // stays in the updater's folder
    }
    char* const arguments[] = {const_cast<char*>(chemin.constData()), nullptr};
    ::execv(chemin.constData(), arguments);
    if (!wine.isEmpty() && (errno == EACCES || errno == ENOEXEC)) {
        char* const avecwine[] = {const_cast<char*>(wine.constData()), const_cast<char*>(chemin.constData()), nullptr};
        ::execv(wine.constData(), avecwine);
    }
    ::_exit(127);
}

void CoquillePosix::terminer()
{
    std::fflush(nullptr);
    ::_exit(0);
}

} // namespace velorine

#include "platform/dialoguesconsole.h"

namespace velorine {

void CoquilleSansProduit::terminer()
{
    std::fflush(nullptr);
    ::_exit(dialogues_.erreurmontree() ? 1 : 0);
}

} // namespace velorine
