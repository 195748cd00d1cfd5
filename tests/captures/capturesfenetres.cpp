// Pictures of the chooser and of the download window, for checking them by
// eye against their designs:
//
//   capturesfenetres DOSSIER
//
// writes into DOSSIER typemaj.png (the chooser, its first entry under the
// pointer), feuilleFTP.png (the download window as its steps begin) and
// feuilleFTP-transfert.png (during a transfer: state and file counter). Meant
// to run on a real X display, for example under
//   xvfb-run -a -s "-screen 0 1024x768x24" capturesfenetres DOSSIER
// The three steps are stand-ins: nothing is fetched.

#include "dossiers.h"
#include "etapesfactices.h"
#include "faux.h"
#include "download/feuilleftp.h"
#include "chooser/typemaj.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <cstdio>

using namespace velorine;
using namespace velorine::test;

namespace {

bool enregistrer(QWidget* fenetre, const QString& chemin)
{
    QCoreApplication::processEvents();
    const bool ok = fenetre->grab().save(chemin);
    std::fprintf(ok ? stdout : stderr, "%s %s\n", ok ? "écrit :" : "impossible d'écrire", qPrintable(chemin));
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "utilisation : capturesfenetres DOSSIER\n");
        return 2;
    }
    const QDir sortie(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(sortie.path())) {
        std::fprintf(stderr, "dossier impossible : %s\n", argv[1]);
        return 1;
    }

    // A product at level 2 whose list lies on a server.
    QTemporaryDir produit;
    QStringList tempo(23, QString());
    tempo.append(QStringLiteral(" 2"));
    ecrirefichier(QDir(produit.path()).filePath("TEMPO.QZS"), fichierenregistrements(tempo));
    QStringList paranet(6, QString());
    paranet.append(QStringLiteral("http://ecole.example/velorine/LISTE.MAJ"));
    ecrirefichier(QDir(produit.path()).filePath("PARANET.LST"), fichierenregistrements(paranet));

    Etat etat;
    etat.dossierproduit = produit.path();
    Faux faux;
    Services services = faux.services();

    EtapesFactices etapes;
    typemaj choix(etat, services, etapes);
    choix.show();
    QCoreApplication::processEvents();
    // The pointer over the first entry. On a real display the pointer's move
    // reaches the window later, so the movement is delivered directly.
    QLabel* entree = choix.entree(0);
    const QPointF centre = entree->rect().center();
    QMouseEvent mouvement(QEvent::MouseMove, centre, entree->mapToGlobal(centre), Qt::NoButton, Qt::NoButton,
                          Qt::NoModifier);
    QApplication::sendEvent(entree, &mouvement);
    bool ok = enregistrer(&choix, sortie.filePath("typemaj.png"));

    etapes.corpscartesnet = [&](Etat&, Services&, HoteEtapes&) {
        ok = enregistrer(choix.feuille(), sortie.filePath("feuilleFTP.png")) && ok;
    };
    etapes.corpstesparti = [&](Etat&, Services&, HoteEtapes& f) {
        f.Label1(QStringLiteral("Transfert du fichier 2 / 3"));
        f.etattransfert(EtatTransfert::Reception);
        f.progression(2'400'000, 4'000'000);
        ok = enregistrer(choix.feuille(), sortie.filePath("feuilleFTP-transfert.png")) && ok;
        f.decharger();
    };
    choix.Label1_Click(0);
    return ok ? 0 : 1;
}
