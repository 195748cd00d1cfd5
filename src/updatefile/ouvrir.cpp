#include "ouvrir.h"

#include "echec.h"
#include "fenetres.h"
#include "gardien.h"
#include "installation.h"
#include "listes.h"
#include "nomswindows.h"
#include "relancer.h"

#include <QDir>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace velorine {
namespace {

const QColor grisclair(192, 192, 192);
const QColor marine(0, 0, 128);

// The hourglass pointer over the dialog while an installation runs; the
// default pointer again when it ends, whichever way it ends.
class Sablier {
public:
    explicit Sablier(QWidget& fenetre) : fenetre_(fenetre) { fenetre_.setCursor(Qt::WaitCursor); }
    ~Sablier() { fenetre_.unsetCursor(); }
    Sablier(const Sablier&) = delete;
    Sablier& operator=(const Sablier&) = delete;

private:
    QWidget& fenetre_;
};

} // namespace

ouvrir::ouvrir(Etat& etat, Services services, SourceLecteurs lecteurs, QWidget* parent)
    : QDialog(parent), etat_(etat), services_(services)
{
    setObjectName(QStringLiteral("ouvrir"));
    setWindowTitle(QStringLiteral("Ouvrir fichier .MAJ"));
    setFixedSize(twips(7830), twips(3810));
    couleurfond(this, grisclair);

    Command1 = new Bouton(QStringLiteral("OUVRIR"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(twips(5640, 3000, 1815, 375));

    Command2 = new Bouton(QStringLiteral("ANNULER"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setGeometry(twips(5640, 2520, 1815, 375));

    Dir1 = new ListeDossiers(this);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    Dir1->setGeometry(twips(480, 720, 2415, 2790));

    File1 = new ListeFichiers(QStringLiteral("*.maj"), this);
    File1->setObjectName(QStringLiteral("File1"));
    File1->setGeometry(twips(3240, 1875, 2175, 1650));

    Drive1 = new ListeLecteurs(std::move(lecteurs), this);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    Drive1->setGeometry(twips(960, 240, 1935, 315));

    Label1 = new QLabel(QStringLiteral("Lecteur:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(twips(240, 300, 735, 255));
    couleurtexte(Label1, marine);

    // A frame without caption: an etched border around the window's own
    // light grey (a group box would be shaded by the style).
    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twips(3240, 120, 4215, 1575));
    Frame1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    couleurfond(Frame1, grisclair);

    ficharge = new QLineEdit(Frame1);
    ficharge->setObjectName(QStringLiteral("ficharge"));
    ficharge->setGeometry(twips(120, 360, 3975, 285));

    Label2 = new QLabel(Frame1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(twips(240, 840, 3855, 495));
    Label2->setFont(sansserif(9.75));
    Label2->setWordWrap(true);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    couleurtexte(Label2, marine);

    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Dir1);
    setTabOrder(Dir1, File1);
    setTabOrder(File1, Drive1);
    setTabOrder(Drive1, ficharge);
    Command1->setFocus();

    connect(Drive1, &ListeLecteurs::change, this, &ouvrir::Drive1_Change);
    connect(Dir1, &ListeDossiers::change, this, &ouvrir::Dir1_Change);
    connect(Dir1, &ListeDossiers::entree, this, [this] { Dir1_KeyPress(13); });
    connect(File1, &ListeFichiers::clic, this, &ouvrir::File1_Click);
    connect(File1, &ListeFichiers::doubleclic, this, &ouvrir::File1_DblClick);
    connect(Command1, &QPushButton::clicked, this, &ouvrir::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &ouvrir::Command2_Click);

    // Load: the lists start on the current folder, which is also the current
    // folder of its drive; a folder that cannot be read leaves the root.
    gardien([&] {
        Label2->setText(QStringLiteral("Rechercher le fichier de mise à jour (*.maj) et appuyer sur ouvrir."));
        const QString courant = QDir::currentPath();
        if (!ignorer([&] { Dir1->changerdossier(courant, Drive1->lecteurde(courant).racine); }))
            ignorer([&] { Dir1->changerdossier(QDir::rootPath(), QDir::rootPath()); });
        Drive1->montrerlecteurde(Dir1->dossier());
        courants_.insert(Drive1->lecteur().racine, Dir1->dossier());
        ignorer([&] { File1->changerdossier(Dir1->dossier()); });
    });
}

// Drive rule: open the drive's current folder; when that fails (drive not
// ready), the drive list goes back to the drive of the folder still shown.
void ouvrir::Drive1_Change()
{
    gardien([&] {
        const Lecteur lecteur = Drive1->lecteur();
        ignorer([&] {
            const QString courant = courants_.value(lecteur.racine);
            Dir1->changerdossier(QDir(courant).exists() && !courant.isEmpty() ? courant : lecteur.racine,
                                 lecteur.racine);
        });
        ignorer([&] { Drive1->montrerlecteurde(Dir1->dossier()); });
        ignorer([&] { File1->changerdossier(Dir1->dossier()); });
    });
}

void ouvrir::Dir1_Change()
{
    gardien([&] { ignorer([&] { File1->changerdossier(Dir1->dossier()); }); });
}

void ouvrir::Dir1_KeyPress(int touche)
{
    gardien([&] {
        if (touche != 13)
            return;
        ignorer([&] { Dir1->changerdossier(Dir1->surligne()); });
        Dir1_Change();
    });
}

// Path rule: the file list's folder, made the current folder, joined to the
// selected name by one separator.
void ouvrir::File1_Click()
{
    gardien([&] {
        ficharge->setText(File1->dossier());
        ignorer([&] {
            if (!QDir::setCurrent(File1->dossier()))
                throw Echec("dossier courant inchangé");
            courants_.insert(Drive1->lecteurde(File1->dossier()).racine, File1->dossier());
        });
        ficharge->setText(avecseparateur(ficharge->text()) + File1->fichier());
    });
}

void ouvrir::File1_DblClick()
{
    installation();
}

void ouvrir::Command1_Click()
{
    installation();
}

void ouvrir::Command2_Click()
{
    gardien([&] { relancer(etat_.dossierproduit, services_.coquille); });
}

// The installation reads the path from ficharge and the source folder from
// File1. It ends the process, or returns with the dialog open (blank path,
// failed copy).
void ouvrir::installation()
{
    gardien([&] {
        const Sablier sablier(*this);
        installer(etat_, services_, ficharge->text(), File1->dossier());
    });
}

void ouvrir::keyPressEvent(QKeyEvent* evenement)
{
    // Escape does not close the dialog, and Enter means something only in
    // Dir1 and on a button that has the focus, which handle it themselves:
    // elsewhere (ficharge, File1, Drive1) it presses nothing.
    const bool entree = evenement->key() == Qt::Key_Return || evenement->key() == Qt::Key_Enter;
    if (evenement->matches(QKeySequence::Cancel) || entree) {
        evenement->accept();
        return;
    }
    QDialog::keyPressEvent(evenement);
}

} // namespace velorine
