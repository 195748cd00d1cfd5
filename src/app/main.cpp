// velorine-maj: the updater of Velorine.

#include "dialogues_console.h"
#include "etat.h"
#include "installation.h"
#include "ligne_commande.h"
#include "services.h"

#ifdef VELORINE_TELECHARGEMENT
#include "boucle.h"
#include "coquille.h"
#include "demarrage_choix.h"
#include "dialup.h"
#include <QApplication>
#endif

#include <QCoreApplication>
#include <QFileInfo>
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

// A transfer engine for the runs that fetch nothing.
class SansTransfert : public Transfert {
public:
    void ouvrirurl(const QString&, Puits&) override { throw Echec("aucun transfert possible"); }
    void annuler() override {}
};

int installersansfenetre(const Options& options, const QString& dossierproduit)
{
    Etat etat;
    etat.dossierproduit = dossierproduit;
    DialoguesConsole dialogues;
    BoucleQt boucle;
    CoquilleSansProduit coquille(dialogues);
    SansTransfert transfert;
    NumerotationAbsente numerotation;
    Services services{dialogues, boucle, coquille, transfert, numerotation};

    installer(etat, services, options.fichiermaj, QFileInfo(options.fichiermaj).absolutePath());
    return dialogues.erreurmontree() ? 1 : 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    QString erreur;
    const auto options = lireoptions(arguments, erreur);
    if (!options) {
        ecrire(stderr, QStringLiteral("velorine-maj : ") + erreur
                           + QStringLiteral("\nEssayez « velorine-maj --help ».\n"));
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

    const QString dossierproduit = options->dossierproduit.isEmpty()
        ? dossierexecutable()
        : QFileInfo(options->dossierproduit).absoluteFilePath();

    if (options->sansfenetre) {
        QCoreApplication app(argc, argv);
        if (!options->fichiermaj.isEmpty())
            return installersansfenetre(*options, dossierproduit);
        ecrire(stderr, QStringLiteral("velorine-maj : la mise à jour par téléchargement n'est pas encore disponible\n"));
        return 2;
    }

#ifdef VELORINE_TELECHARGEMENT
    if (options->choix) {
        QApplication app(argc, argv);
        Etat etat;
        etat.dossierproduit = dossierproduit;
        DialoguesConsole dialogues;
        BoucleQt boucle;
        CoquillePosix coquille;
        SansTransfert transfert;
        const auto numerotation = numerotationsysteme();
        Services services{dialogues, boucle, coquille, transfert, *numerotation};
        montrerchoix(etat, services, {});
        return 0;
    }
#endif

    ecrire(stderr, QStringLiteral("velorine-maj : les fenêtres ne sont pas encore disponibles ; "
                                  "utilisez --unattended --install FICHIER.maj\n"));
    return 2;
}
