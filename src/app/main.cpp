// velorine-maj: the updater of Velorine.

#include "app/automatique.h"
#include "app/demarrage.h"
#include "app/lignecommande.h"
#include "app/verification.h"
#include "app/verrou.h"
#include "platform/interruption.h"
#include "platform/produitencours.h"
#include "records/configuration.h"
#include "records/droits.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace velorine;

namespace {

// The product folder built in, when the build names one (the package's
// updater lies outside the product folder); otherwise the folder of the
// updater's own executable.
QString dossierpardefaut()
{
#ifdef VELORINE_PRODUCT_DIR
    return QStringLiteral(VELORINE_PRODUCT_DIR);
#else
    return QString();
#endif
}

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
#ifdef VELORINE_CONF_VARIABLE
    if (const QByteArray conf = qgetenv("VELORINE_MAJ_CONF_DIR"); !conf.isEmpty())
        reglerdossierconfiguration(QFile::decodeName(conf));
#endif
    if (options->aide) {
        ecrire(stdout, texteaide(dossierpardefaut()));
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

    const QString dossierproduit = !options->dossierproduit.isEmpty()
                                       ? QFileInfo(options->dossierproduit).absoluteFilePath()
                                       : (dossierpardefaut().isEmpty() ? dossierexecutable() : dossierpardefaut());
    if (options->reparation)
        return reparerdroits(dossierproduit) == 0 ? 0 : 1;
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
        // The files of a running product are never replaced: the run is put
        // off (the nightly unit tries again later).
        if (produitencours(dossierproduit)) {
            ecrire(stderr, QStringLiteral("velorine-maj: Velorine est ouvert : rien n'est remplacé, "
                                          "la mise à jour attendra qu'il soit fermé\n"));
            return 4;
        }
        QCoreApplication app(argc, argv);
        if (!options->fichiermaj.isEmpty())
            return installersansfenetre(*options, dossierproduit);
        return mettreajoursansfenetre(*options, dossierproduit);
    }

    return demarrerfenetres(argc, argv, *options, dossierproduit);
}
