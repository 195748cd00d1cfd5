// velorine-maj: the updater of Velorine.

#include "app/automatique.h"
#include "app/demarrage.h"
#include "app/lignecommande.h"
#include "app/verification.h"
#include "app/verrou.h"
#include "platform/interruption.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace velorine;

namespace {

// The folder of the updater's own executable.
QString dossierexecutable()
{
    char chemin[4096];
    const ssize_t n = ::readlink("/proc/self/exe", chemin, sizeof chemin - 1);
    if (n <= 0)
        return QStringLiteral(".");
    return QFileInfo(QFile::decodeName(QByteArray(chemin, n))).absolutePath();
}

void ecrire(std::FILE* sortie, const QString& texte)
{
    const QByteArray octets = texte.toUtf8();
    std::fwrite(octets.constData(), 1, static_cast<std::size_t>(octets.size()), sortie);
}

} // namespace

int main(int argc, char* argv[])
{
    // A write past the file size limit (ulimit -f) fails like a full disk,
    // with its message, instead of killing the process.
    std::signal(SIGXFSZ, SIG_IGN);

    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    QString erreur;
    const auto options = lireoptions(arguments, erreur);
    if (!options) {
        ecrire(stderr,
               QStringLiteral("velorine-maj : ") + erreur + QStringLiteral("\nEssayez « velorine-maj --help ».\n"));
        return 2;
    }
    if (options->aide) {
        ecrire(stdout, texteaide());
        return 0;
    }
    if (options->version) {
        ecrire(stdout, QStringLiteral("velorine-maj " VELORINE_VERSION "\n"));
        return 0;
    }

    // A run without windows (the nightly service among them) stopped by a
    // signal ends through its failure path, its partial files kept.
    if (options->sansfenetre || !options->miroir.isEmpty() || options->verification)
        intercepterarrets();

    const QString dossierproduit =
        options->dossierproduit.isEmpty() ? dossierexecutable() : QFileInfo(options->dossierproduit).absoluteFilePath();
    if (!options->miroir.isEmpty()) { // changes no product: locks its own folder
        QCoreApplication app(argc, argv);
        return miroirsansfenetre(*options, dossierproduit);
    }
    if (options->verification) { // writes nothing, so takes no lock
        QCoreApplication app(argc, argv);
        return verifiersansfenetre(*options, dossierproduit);
    }
    if (!verrouillerproduit(dossierproduit))
        return refuserdejaencours(argc, argv, options->sansfenetre);

    if (options->sansfenetre) {
        QCoreApplication app(argc, argv);
        if (!options->fichiermaj.isEmpty())
            return installersansfenetre(*options, dossierproduit);
        return mettreajoursansfenetre(*options, dossierproduit);
    }

    return demarrerfenetres(argc, argv, *options, dossierproduit);
}
