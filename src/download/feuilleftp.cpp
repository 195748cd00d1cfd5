#include "download/feuilleftp.h"

#include <algorithm>

#include "download/texteetat.h"
#include "platform/fenetres.h"
#include "platform/gardien.h"
#include "platform/sansicone.h"

#include <QCloseEvent>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>

// The pictures of the window are in the library's resources.
static void chargerimages()
{
    Q_INIT_RESOURCE(feuilleftp);
}

namespace velorine {
namespace {

const QColor fond(247, 247, 225);

// Position and size in twips, as the design gives them.
void placer(QWidget* controle, int gauche, int haut, int largeur, int hauteur)
{
    controle->setGeometry(twips(gauche), twips(haut), twips(largeur), twips(hauteur));
}

const QString textelabet = QStringLiteral("Télécharger un fichier");

} // namespace

feuilleFTP::feuilleFTP(Etat& etat, Services& services, Etapes& etapes, QWidget* parent)
    : QDialog(parent), controleur_(etat, services, etapes, *this)
{
    chargerimages();
    setObjectName(QStringLiteral("feuilleFTP"));
    setWindowTitle(QStringLiteral("Mise à jour automatique"));
    setWindowIcon(sansicone());
    fenetrefixe(this);
    setFixedSize(twips(7305), twips(2535));
    couleurfond(this, fond);

    image1_ = new QLabel(this);
    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->setPixmap(QPixmap(QStringLiteral(":/feuilleFTP/globe.png")));
    placer(image1_, 360, 240, 480, 480);
    image1_->setAccessibleName(QStringLiteral("Globe"));

    // Drawn after the globe, so the computer lies over it.
    image2_ = new QLabel(this);
    image2_->setObjectName(QStringLiteral("Image2"));
    image2_->setPixmap(QPixmap(QStringLiteral(":/feuilleFTP/ordinateur.png")));
    placer(image2_, 600, 480, 480, 480);
    image2_->setAccessibleName(QStringLiteral("Ordinateur"));

    labet_ = new QLabel(textelabet, this);
    labet_->setObjectName(QStringLiteral("Labet"));
    labet_->setFont(sansserif(9.75));
    labet_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    couleurtexte(labet_, Qt::black);
    couleurfond(labet_, fond);
    placer(labet_, 1440, 360, 5535, 315);

    label1_ = new QLabel(this);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setFont(sansserif(13.5));
    label1_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    couleurtexte(label1_, Qt::black);
    placer(label1_, 360, 1200, 6855, 495);

    // A thin band between the file counter and the button, for the progress
    // of the current transfer.
    progression_ = new QProgressBar(this);
    progression_->setObjectName(QStringLiteral("progression"));
    progression_->setTextVisible(false);
    progression_->setGeometry(twips(360), twips(1740), twips(6855), 6);
    progression_->setAccessibleName(QStringLiteral("Progression du fichier"));
    progression_->hide();

    command2_ = new Bouton(QStringLiteral("Annuler"), this);
    command2_->setObjectName(QStringLiteral("Command2"));
    command2_->setFont(sansserif(8.25));
    placer(command2_, 2880, 1920, 1215, 375);
    connect(command2_, &QPushButton::clicked, this, [this] { Command2_Click(); });

    list1_ = new QListWidget(this);
    list1_->setObjectName(QStringLiteral("List1"));
    placer(list1_, 4560, 0, 1335, 840);
    list1_->setAccessibleName(QStringLiteral("Liste de mise à jour"));
    list1_->hide();
}

feuilleFTP::~feuilleFTP() = default;

// The bar of the current file's bytes, in the band between the file counter
// and "Annuler": in thousandths of the announced size, or moving to and fro
// when the size is unknown.
void feuilleFTP::progression(long long recus, long long total)
{
    if (total > 0) {
        progression_->setRange(0, 1000);
        progression_->setValue(static_cast<int>(std::min(recus, total) * 1000 / total));
    } else {
        progression_->setRange(0, 0);
    }
    progression_->show();
}

void feuilleFTP::finprogression()
{
    progression_->hide();
}

void feuilleFTP::montrer()
{
    bool lu = false;
    gardien([&] { lu = controleur_.charger(); });
    if (!lu) {
        gardien([&] { controleur_.decharger(); }); // already done by the load's failure block
        return;
    }
    exec();
}

// Load: a freshly loaded window shows its design.
void feuilleFTP::recharger()
{
    labet_->setText(textelabet);
    label1_->clear();
    list1_->clear();
    progression_->hide();
}

// Unloaded: hidden now; the modal show returns when the handler that called
// the unload (a step, the cancel) has returned to its event loop.
void feuilleFTP::cacher()
{
    if (isVisible())
        done(QDialog::Rejected);
}

void feuilleFTP::showEvent(QShowEvent* evenement)
{
    QDialog::showEvent(evenement);
    // Activation: once the window is on screen, from the event loop.
    QMetaObject::invokeMethod(
        this, [this] { Form_Activate(); }, Qt::QueuedConnection);
}

void feuilleFTP::Form_Activate()
{
    gardien([&] { controleur_.activer(); });
}

void feuilleFTP::Command2_Click()
{
    gardien([&] { controleur_.annuler(); });
}

void feuilleFTP::reject()
{
    // Escape does nothing, as in the picker and the chooser: a key pressed
    // by mistake (or stuck) must not drop an update under way. "Annuler" and
    // the close box remain.
}

void feuilleFTP::closeEvent(QCloseEvent* evenement)
{
    // A close from the title bar.
    gardien([&] { controleur_.fermer(); });
    evenement->accept();
}

void feuilleFTP::Inet1_StateChanged(EtatTransfert etat)
{
    gardien([&] {
        if (const auto texte = texteetat(etat))
            labet_->setText(*texte);
    });
}

void feuilleFTP::Labet(const QString& texte)
{
    labet_->setText(texte);
}

QStringList feuilleFTP::List1() const
{
    QStringList entrees;
    for (int i = 0; i < list1_->count(); ++i)
        entrees.append(list1_->item(i)->text());
    return entrees;
}

void feuilleFTP::viderList1()
{
    list1_->clear();
}

void feuilleFTP::ajouterList1(const QString& entree)
{
    list1_->addItem(entree);
}

void feuilleFTP::Label1(const QString& texte)
{
    label1_->setText(texte);
}

} // namespace velorine
