// velorine-captures: shows each window of an update from a file and saves a
// PNG image of it, for a look at the windows without a person at the screen.
//
//     velorine-captures FOLDER
//
// Run it on an X server (Xvfb does); `make screenshots` does so. The backdrop
// with the dialog in front, the dialog alone, its drive list open, and the
// three message boxes of the installation (refused file, failed copy,
// success) are saved, then the box of a second updater. The product is never
// started: the shell records the start instead. Xvfb has no window manager,
// so the title bars in the images are drawn here, from each window's title.

#include "platform/dialoguesqt.h"
#include "dossiers.h"
#include "records/etat.h"
#include "faux.h"
#include "app/maj.h"
#include "updatefile/ouvrir.h"
#include "app/verrou.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest/QTest>
#include <cstdio>
#include <functional>

using namespace velorine;

namespace {

constexpr int hauteurbarre = 24;

QString dossiersortie;
int erreurs = 0;

void dessinerbarre(QPainter& p, const QRect& fenetre, const QString& titre)
{
    const QRect barre(fenetre.left(), fenetre.top() - hauteurbarre, fenetre.width(), hauteurbarre);
    p.fillRect(barre, QColor(0, 0, 128));
    QFont police = p.font();
    police.setBold(true);
    p.setFont(police);
    p.setPen(Qt::white);
    p.drawText(barre.adjusted(6, 0, -26, 0), Qt::AlignVCenter | Qt::AlignLeft, titre);
    p.drawText(QRect(barre.right() - 22, barre.top(), 20, hauteurbarre), Qt::AlignCenter, QStringLiteral("×"));
}

void enregistrer(const QImage& image, const QString& nom)
{
    const QString chemin = dossiersortie + u'/' + nom;
    if (!image.save(chemin)) {
        std::fprintf(stderr, "velorine-captures : impossible d'écrire %s\n", qPrintable(chemin));
        ++erreurs;
        return;
    }
    std::printf("%s\n", qPrintable(chemin));
}

// The whole screen, with a title bar over each dialog in front of MAJ.
void ecran(const QString& nom)
{
    QCoreApplication::processEvents();
    QImage image = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    QPainter p(&image);
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->objectName() != QStringLiteral("MAJ") && qobject_cast<QDialog*>(w))
            dessinerbarre(p, w->geometry(), w->windowTitle());
    p.end();
    enregistrer(image, nom);
}

// One window with its title bar.
void fenetre(QWidget* w, const QString& nom)
{
    QCoreApplication::processEvents();
    const QImage contenu = w->grab().toImage();
    QImage image(contenu.width(), contenu.height() + hauteurbarre, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.drawImage(0, hauteurbarre, contenu);
    dessinerbarre(p, QRect(0, hauteurbarre, contenu.width(), contenu.height()), w->windowTitle());
    p.end();
    enregistrer(image, nom);
}

// Answers the next message box after saving its image, alone and on the
// screen.
void photographierboite(const QString& nom)
{
    auto* suivi = new QTimer;
    suivi->setInterval(50);
    QObject::connect(suivi, &QTimer::timeout, [suivi, nom] {
        auto* boite = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!boite || !boite->isVisible())
            return;
        suivi->stop();
        suivi->deleteLater();
        if (!QTest::qWaitForWindowExposed(boite))
            ++erreurs;
        QTest::qWait(300);
        fenetre(boite, nom + QStringLiteral(".png"));
        ecran(nom + QStringLiteral("-ecran.png"));
        QTest::mouseClick(boite->buttons().constFirst(), Qt::LeftButton);
    });
    suivi->start();
}

void cliquerfichier(QListWidget* File1, const QString& nom)
{
    const auto trouves = File1->findItems(nom, Qt::MatchExactly);
    if (trouves.isEmpty()) {
        std::fprintf(stderr, "velorine-captures : %s absent de la liste\n", qPrintable(nom));
        ++erreurs;
        return;
    }
    QTest::mouseClick(File1->viewport(), Qt::LeftButton, {}, File1->visualItemRect(trouves.front()).center());
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "Utilisation : velorine-captures DOSSIER\n");
        return 2;
    }
    dossiersortie = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(dossiersortie);

    // A product and a stick with three update files: a good one, one with
    // the wrong marker, one that names a missing file.
    // In a folder of a fixed name, so that the paths the message boxes show,
    // and with them the pictures, are the same from one run to the next.
    struct Dossier {
        QString chemin = QDir::tempPath() + QStringLiteral("/velorine-captures");
        Dossier() { QDir(chemin).removeRecursively(); }
        ~Dossier() { QDir(chemin).removeRecursively(); }
    } tmp;
    const QString produit = tmp.chemin + QStringLiteral("/produit");
    const QString cle = tmp.chemin + QStringLiteral("/cle-usb");
    QDir().mkpath(produit);
    QDir().mkpath(cle + QStringLiteral("/DONNEES"));
    test::ecrirefichier(cle + "/DECEMBRE.MAJ", test::fichierenregistrements({"MAJQZ", "LECON1.DAT", "FINI"}));
    test::ecrirefichier(cle + "/LECON1.DAT", "Leçon 1, mise à jour de décembre");
    test::ecrirefichier(cle + "/ANCIEN.MAJ", test::fichierenregistrements({"MAJQZ7INTERNET", "FINI"}));
    test::ecrirefichier(cle + "/INCOMPLET.MAJ", test::fichierenregistrements({"MAJQZ", "LECON9.DAT", "FINI"}));
    QDir::setCurrent(cle);

    Etat etat;
    etat.dossierproduit = produit;
    DialoguesQt dialogues;
    test::Faux faux;
    Services services{dialogues, faux.boucle, faux.coquille, faux.transfertabsent, faux.numerotation};

    MAJ fond;
    ouvrir dialogue(etat, services, lecteursmachine, &fond);
    auto* File1 = dialogue.findChild<QListWidget*>(QStringLiteral("File1"));
    auto* Drive1 = dialogue.findChild<QComboBox*>(QStringLiteral("Drive1"));
    auto* Command1 = dialogue.findChild<QPushButton*>(QStringLiteral("Command1"));

    QTimer::singleShot(0, &fond, [&] { fond.charger(dialogue); });
    QTimer::singleShot(0, &dialogue, [&] {
        if (!QTest::qWaitForWindowExposed(&dialogue))
            ++erreurs;
        QTest::qWait(500);
        ecran(QStringLiteral("1-fond-et-ouvrir.png"));
        fenetre(&dialogue, QStringLiteral("2-ouvrir.png"));

        Drive1->showPopup();
        QTest::qWait(300);
        ecran(QStringLiteral("3-liste-des-lecteurs.png"));
        Drive1->hidePopup();

        const struct {
            const char* fichier;
            const char* image;
        } installations[] = {
            {"ANCIEN.MAJ", "4-non-valide"},
            {"INCOMPLET.MAJ", "5-introuvable"},
            {"DECEMBRE.MAJ", "6-reussite"},
        };
        for (const auto& i : installations) {
            cliquerfichier(File1, QString::fromLatin1(i.fichier));
            photographierboite(QString::fromLatin1(i.image));
            QTest::mouseClick(Command1, Qt::LeftButton);
        }
        dialogue.close();
        fond.close();
    });
    application.exec();

    // The box of a second updater started while one is at work.
    photographierboite(QStringLiteral("7-deja-en-cours"));
    refuserdejaencours(argc, argv, false);

    if (faux.coquille.demarres.size() != 2) { // after "non valide" and after success
        std::fprintf(stderr, "velorine-captures : %lld démarrages du produit au lieu de 2\n",
                     static_cast<long long>(faux.coquille.demarres.size()));
        ++erreurs;
    }
    return erreurs == 0 ? 0 : 1;
}
