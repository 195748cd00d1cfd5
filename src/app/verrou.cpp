#include "app/verrou.h"

#include "platform/dialoguesconsole.h"
#include "platform/dialoguesqt.h"

#include <QApplication>
#include <QFile>
#include <cerrno>
#include <optional>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace velorine {

bool verrouillerproduit(const QString& dossierproduit)
{
    const int fd = ::open(QFile::encodeName(dossierproduit).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return true;
    int r;
    do
        r = ::flock(fd, LOCK_EX | LOCK_NB);
    while (r != 0 && errno == EINTR);
    if (r == 0)
        return true; // fd stays open, and the lock held, until the process ends
    const bool occupe = errno == EWOULDBLOCK;
    ::close(fd);
    return !occupe;
}

void signalerdejaencours(Dialogues& dialogues)
{
    dialogues.message(Icone::Erreur, QStringLiteral("Mise à jour impossible"),
                      QStringLiteral("Une mise à jour de Velorine est déjà en cours. "
                                     "Attendez qu'elle soit terminée avant d'en lancer une autre."));
}

int refuserdejaencours(int& argc, char** argv, bool sansfenetre)
{
    if (sansfenetre) {
        DialoguesConsole dialogues;
        signalerdejaencours(dialogues);
    } else {
        // The message box needs an application; tests bring their own.
        std::optional<QApplication> application;
        if (!QCoreApplication::instance())
            application.emplace(argc, argv);
        DialoguesQt dialogues;
        signalerdejaencours(dialogues);
    }
    return statutdejaencours;
}

} // namespace velorine
