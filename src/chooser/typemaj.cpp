#include "chooser/typemaj.h"

#include "records/donneesproduit.h"
#include "base/echec.h"
#include "download/feuilleftp.h"
#include "platform/gardien.h"
#include "platform/fenetres.h"
#include "records/nomswindows.h"
#include "platform/relancer.h"
#include "platform/sansicone.h"

#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <algorithm>

// The entries' pointer is in the library's resources.
static void chargerpointeur()
{
    Q_INIT_RESOURCE(typemaj);
}

namespace velorine {
namespace {

const QColor fond(247, 247, 225);
const QColor gris(64, 64, 64);
const QColor bleufonce(0, 0, 128); // colour 1 of the classic palette
const QColor bleu(0, 0, 192);
const QColor jaunepale(255, 255, 192);

void placer(QWidget* controle, int gauche, int haut, int largeur, int hauteur)
{
    controle->setGeometry(twips(gauche), twips(haut), twips(largeur), twips(hauteur));
}

// A hand with a pointing index finger, its hot spot at the fingertip.
QCursor pointeurmain()
{
    return QCursor(QPixmap(QStringLiteral(":/typemaj/main.png")), 12, 1);
}

const char* const textes[3] = {
    "Automatique par téléchargement",
    "A partir d'un fichier de mise à jour ( *.MAJ )",
    "Annuler",
};
const int hauts[3] = {840, 1320, 1800};

} // namespace

typemaj::typemaj(Etat& etat, Services& services, Etapes& etapes, QWidget* parent)
    : QDialog(parent), etat_(etat), services_(services), etapes_(etapes)
{
    chargerpointeur();
    setObjectName(QStringLiteral("typemaj"));
    setWindowTitle(QString());
    setWindowIcon(sansicone());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(twips(6720), twips(2535));
    couleurfond(this, fond);

    label2_ = new QLabel(QStringLiteral("Quelle procédure de mise à jour ?"), this);
    label2_->setObjectName(QStringLiteral("Label2"));
    label2_->setFont(sansserif(18));
    label2_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label2_->setWordWrap(true);
    couleurtexte(label2_, gris);
    placer(label2_, 240, 120, 5895, 615);
    // The question stands on one line. A desktop font wider than the design's
    // widens the label to the right, within the window, rather than pushing
    // the question mark onto a line the label has no room for.
    const int uneligne = label2_->fontMetrics().horizontalAdvance(label2_->text()) + 2;
    if (uneligne > label2_->width())
        label2_->resize(std::min(uneligne, width() - label2_->x()), label2_->height());

    const QCursor main = pointeurmain();
    for (int i = 0; i < 3; ++i) {
        QLabel* e = new QLabel(QString::fromUtf8(textes[i]), this);
        e->setObjectName(QStringLiteral("Label1"));
        e->setProperty("index", i);
        e->setFont(sansserif(9.75));
        e->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        couleurtexte(e, bleufonce);
        e->setCursor(main);
        e->setMouseTracking(true);
        e->installEventFilter(this);
        placer(e, 720, hauts[i], 5055, 375);
        label1_[static_cast<std::size_t>(i)] = e;
    }

    labeldeco_ = new QLabel(QStringLiteral("Label3"), this);
    labeldeco_->setObjectName(QStringLiteral("Labeldeco"));
    labeldeco_->setFont(sansserif(8.25, true));
    labeldeco_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    couleurtexte(labeldeco_, gris);
    couleurfond(labeldeco_, jaunepale);
    placer(labeldeco_, 0, 2280, 6735, 255);
}

typemaj::~typemaj() = default;

QLabel* typemaj::entree(int index) const
{
    if (index < 0 || index > 2)
        return nullptr;
    return label1_[static_cast<std::size_t>(index)];
}

void typemaj::showEvent(QShowEvent* evenement)
{
    if (!charge_) {
        charge_ = true;
        gardien([&] { Form_Load(); });
    }
    QDialog::showEvent(evenement);
    sanstitre(this);
}

void typemaj::Form_Load()
{
    // Ignore mode throughout: an unreadable level leaves versionactuelle as it
    // was, or 0 when nothing could be read.
    etat_.fichiertempo = avecseparateur(etat_.dossierproduit) + donnees::tempo;
    donnees::lireniveauignorer(etat_.fente, etat_.fichiertempo, etat_.versionactuelle);
    if (etat_.versionactuelle != 0)
        labeldeco_->setText(QStringLiteral("Version actuelle : 1.") + QString::number(etat_.versionactuelle));
    else
        labeldeco_->setText(QStringLiteral("Version actuelle : version d'origine"));
}

void typemaj::Label1_Click(int index)
{
    etat_.abandon = false;
    switch (index) {
    case 0:
        ignorer([&] {
            if (!feuille_)
                feuille_ = new feuilleFTP(etat_, services_, etapes_, this);
            feuille_->montrer();
        });
        break;
    case 1:
        ignorer([&] {
            if (montrerouvrir)
                montrerouvrir();
        });
        break;
    case 2:
        relancer(etat_.dossierproduit, services_.coquille);
    default:
        break;
    }
}

void typemaj::Label1_MouseMove(int index)
{
    for (QLabel* e : label1_) {
        couleurtexte(e, bleufonce);
        e->setFont(sansserif(9.75, false));
    }
    QLabel* e = entree(index);
    couleurtexte(e, bleu);
    e->setFont(sansserif(9.75, true));
}

int typemaj::indexde(QObject* objet) const
{
    for (int i = 0; i < 3; ++i)
        if (label1_[static_cast<std::size_t>(i)] == objet)
            return i;
    return -1;
}

bool typemaj::eventFilter(QObject* objet, QEvent* evenement)
{
    const int index = indexde(objet);
    if (index < 0)
        return QDialog::eventFilter(objet, evenement);
    switch (evenement->type()) {
    case QEvent::MouseMove:
        gardien([&] { Label1_MouseMove(index); });
        return false;
    case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent*>(evenement)->button() == Qt::LeftButton)
            presse_ = index;
        return false;
    case QEvent::MouseButtonRelease: {
        // A click: the button went down and came up over the same entry.
        const auto* souris = static_cast<QMouseEvent*>(evenement);
        const bool clic = souris->button() == Qt::LeftButton && presse_ == index
                          && entree(index)->rect().contains(souris->position().toPoint());
        presse_ = -1;
        if (clic)
            gardien([&] { Label1_Click(index); });
        return clic;
    }
    default:
        return QDialog::eventFilter(objet, evenement);
    }
}

void typemaj::keyPressEvent(QKeyEvent* evenement)
{
    // Escape does not close the chooser: it has no cancel button, only the
    // entries. Its close box does close it.
    if (evenement->key() == Qt::Key_Escape) {
        evenement->accept();
        return;
    }
    QDialog::keyPressEvent(evenement);
}

} // namespace velorine
