#include "updatefile/ouvrir.h"

#include "base/echec.h"
#include "platform/fenetres.h"
#include "platform/gardien.h"
#include "updatefile/installation.h"
#include "updatefile/listes.h"
#include "records/nomswindows.h"
#include "platform/relancer.h"

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
    fenetrefixe(this);
    setFixedSize(twips(7830), twips(3810));
    couleurfond(this, grisclair);

    command1_ = new Bouton(QStringLiteral("OUVRIR"), this);
    command1_->setObjectName(QStringLiteral("Command1"));
    command1_->setGeometry(twips(5640, 3000, 1815, 375));

    command2_ = new Bouton(QStringLiteral("ANNULER"), this);
    command2_->setObjectName(QStringLiteral("Command2"));
    command2_->setGeometry(twips(5640, 2520, 1815, 375));

    dir1_ = new ListeDossiers(this);
    dir1_->setObjectName(QStringLiteral("Dir1"));
    dir1_->setGeometry(twips(480, 720, 2415, 2790));
    dir1_->setAccessibleName(QStringLiteral("Dossiers"));

    file1_ = new ListeFichiers(QStringLiteral("*.maj"), this);
    file1_->setObjectName(QStringLiteral("File1"));
    file1_->setGeometry(twips(3240, 1875, 2175, 1650));
    file1_->setAccessibleName(QStringLiteral("Fichiers de mise à jour (*.maj)"));

    drive1_ = new ListeLecteurs(std::move(lecteurs), this);
    drive1_->setObjectName(QStringLiteral("Drive1"));
    drive1_->setGeometry(twips(960, 240, 1935, 315));
    drive1_->setAccessibleName(QStringLiteral("Lecteur"));

    label1_ = new QLabel(QStringLiteral("Lecteur:"), this);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setGeometry(twips(240, 300, 735, 255));
    couleurtexte(label1_, marine);

    // A frame without caption: an etched border around the window's own
    // light grey (a group box would be shaded by the style).
    frame1_ = new QFrame(this);
    frame1_->setObjectName(QStringLiteral("Frame1"));
    frame1_->setGeometry(twips(3240, 120, 4215, 1575));
    frame1_->setFrameStyle(QFrame::Box | QFrame::Sunken);
    couleurfond(frame1_, grisclair);
    frame1_->setAccessibleName(QStringLiteral("Fichier de mise à jour"));

    ficharge_ = new QLineEdit(frame1_);
    ficharge_->setObjectName(QStringLiteral("ficharge"));
    ficharge_->setGeometry(twips(120, 360, 3975, 285));
    ficharge_->setAccessibleName(QStringLiteral("Chemin du fichier de mise à jour"));

    label2_ = new QLabel(frame1_);
    label2_->setObjectName(QStringLiteral("Label2"));
    label2_->setGeometry(twips(240, 840, 3855, 495));
    label2_->setFont(sansserif(9.75));
    label2_->setWordWrap(true);
    label2_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    couleurtexte(label2_, marine);

    setTabOrder(command1_, command2_);
    setTabOrder(command2_, dir1_);
    setTabOrder(dir1_, file1_);
    setTabOrder(file1_, drive1_);
    setTabOrder(drive1_, ficharge_);
    command1_->setFocus();

    connect(drive1_, &ListeLecteurs::change, this, &ouvrir::Drive1_Change);
    connect(dir1_, &ListeDossiers::change, this, &ouvrir::Dir1_Change);
    connect(dir1_, &ListeDossiers::entree, this, [this] { Dir1_KeyPress(13); });
    connect(file1_, &ListeFichiers::clic, this, &ouvrir::File1_Click);
    connect(file1_, &ListeFichiers::doubleclic, this, &ouvrir::File1_DblClick);
    connect(command1_, &QPushButton::clicked, this, &ouvrir::Command1_Click);
    connect(command2_, &QPushButton::clicked, this, &ouvrir::Command2_Click);

    // Load: the lists start on the current folder, which is also the current
    // folder of its drive; a folder that cannot be read leaves the root.
    gardien([&] {
        label2_->setText(QStringLiteral("Rechercher le fichier de mise à jour (*.maj) et appuyer sur ouvrir."));
        const QString courant = QDir::currentPath();
        if (!ignorer([&] { dir1_->changerdossier(courant, drive1_->lecteurde(courant).racine); }))
            ignorer([&] { dir1_->changerdossier(QDir::rootPath(), QDir::rootPath()); });
        drive1_->montrerlecteurde(dir1_->dossier());
        courants_.insert(drive1_->lecteur().racine, dir1_->dossier());
        ignorer([&] { file1_->changerdossier(dir1_->dossier()); });
    });
}

// Drive rule: open the drive's current folder; when that fails (drive not
// ready), the drive list goes back to the drive of the folder still shown.
void ouvrir::Drive1_Change()
{
    gardien([&] {
        const Lecteur lecteur = drive1_->lecteur();
        ignorer([&] {
            const QString courant = courants_.value(lecteur.racine);
            dir1_->changerdossier(QDir(courant).exists() && !courant.isEmpty() ? courant : lecteur.racine,
                                  lecteur.racine);
        });
        ignorer([&] { drive1_->montrerlecteurde(dir1_->dossier()); });
        ignorer([&] { file1_->changerdossier(dir1_->dossier()); });
    });
}

void ouvrir::Dir1_Change()
{
    gardien([&] { ignorer([&] { file1_->changerdossier(dir1_->dossier()); }); });
}

void ouvrir::Dir1_KeyPress(int touche)
{
    gardien([&] {
        if (touche != 13)
            return;
        ignorer([&] { dir1_->changerdossier(dir1_->surligne()); });
        Dir1_Change();
    });
}

// Path rule: the file list's folder, made the current folder, joined to the
// selected name by one separator.
void ouvrir::File1_Click()
{
    gardien([&] {
        ficharge_->setText(file1_->dossier());
        ignorer([&] {
            if (!QDir::setCurrent(file1_->dossier()))
                throw Echec("dossier courant inchangé");
            courants_.insert(drive1_->lecteurde(file1_->dossier()).racine, file1_->dossier());
        });
        ficharge_->setText(avecseparateur(ficharge_->text()) + file1_->fichier());
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
        installer(etat_, services_, ficharge_->text(), file1_->dossier());
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
