#include "chooser/typemaj.h"

#include "records/donneesproduit.h"
#include "base/echec.h"
#include "download/feuilleftp.h"
#include "platform/gardien.h"
#include "platform/fenetres.h"
#include "records/nomswindows.h"
#include "platform/relancer.h"
#include "platform/sansicone.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <algorithm>
#include <functional>

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

// An entry: a label that the keyboard reaches too. Tab and the arrows bring
// the focus to it; a click does not, so the pointer works as it always has.
// With the focus it shows the dotted focus mark around its text, and Enter
// or Space chooses it. A screen reader reads it as a button that it can
// press.
class Entree : public QLabel {
public:
    Entree(const QString& texte, QWidget* parent) : QLabel(texte, parent)
    {
        setFocusPolicy(Qt::TabFocus);
        // A label's reading, made while the label was being built, is
        // forgotten: the next one is an entry's.
        QAccessibleInterface* lecture = QAccessible::queryAccessibleInterface(this);
        if (lecture && lecture->role() != QAccessible::Button)
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(lecture));
    }

    std::function<void()> choisir;

protected:
    void paintEvent(QPaintEvent* evenement) override
    {
        QLabel::paintEvent(evenement);
        if (!hasFocus())
            return;
        QStylePainter peintre(this);
        QStyleOptionFocusRect option;
        option.initFrom(this);
        const QRect texte =
            QStyle::alignedRect(layoutDirection(), alignment(), fontMetrics().size(0, text()), contentsRect());
        option.rect = texte.adjusted(-3, 0, 3, 1).intersected(rect());
        option.backgroundColor = palette().color(QPalette::Window);
        peintre.drawPrimitive(QStyle::PE_FrameFocusRect, option);
    }
};

class EntreeAccessible : public QAccessibleWidget {
public:
    explicit EntreeAccessible(Entree* entree) : QAccessibleWidget(entree, QAccessible::Button) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return static_cast<const QLabel*>(widget())->text();
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override
    {
        // The choice opens modal windows: it runs from the event loop, not
        // inside the screen reader's request.
        auto* entree = static_cast<Entree*>(widget());
        if (action == pressAction())
            QMetaObject::invokeMethod(
                entree, [entree] { entree->choisir(); }, Qt::QueuedConnection);
    }
};

QAccessibleInterface* fabriqueaccessible(const QString&, QObject* objet)
{
    if (auto* entree = dynamic_cast<Entree*>(objet))
        return new EntreeAccessible(entree);
    return nullptr;
}

} // namespace

typemaj::typemaj(Etat& etat, Services& services, Etapes& etapes, QWidget* parent)
    : QDialog(parent), etat_(etat), services_(services), etapes_(etapes)
{
    chargerpointeur();
    setObjectName(QStringLiteral("typemaj"));
    setWindowTitle(QString());
    setWindowIcon(sansicone());
    fenetrefixe(this);
    setFixedSize(twips(6720), twips(2535));
    // The window has no title: a screen reader names it by its question.
    setAccessibleName(QStringLiteral("Quelle procédure de mise à jour ?"));
    static const bool fabrique = [] {
        QAccessible::installFactory(fabriqueaccessible);
        return true;
    }();
    (void)fabrique;
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
        auto* e = new Entree(QString::fromUtf8(textes[i]), this);
        e->choisir = [this, i] { gardien([&] { Label1_Click(i); }); };
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
    // No entry has the focus at first, so the window looks as designed: Tab,
    // or an arrow, brings it to the first entry.
    if (!focusWidget() || indexde(focusWidget()) < 0)
        setFocus(Qt::OtherFocusReason);
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
    case QEvent::KeyPress: {
        const int touche = static_cast<QKeyEvent*>(evenement)->key();
        if (touche == Qt::Key_Return || touche == Qt::Key_Enter || touche == Qt::Key_Space) {
            gardien([&] { Label1_Click(index); });
            return true;
        }
        if (touche == Qt::Key_Down || touche == Qt::Key_Right) {
            entree((index + 1) % 3)->setFocus(Qt::TabFocusReason);
            return true;
        }
        if (touche == Qt::Key_Up || touche == Qt::Key_Left) {
            entree((index + 2) % 3)->setFocus(Qt::BacktabFocusReason);
            return true;
        }
        return false;
    }
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
    // Before any entry has the focus, an arrow brings it to the first entry
    // (Up: the last).
    const int touche = evenement->key();
    if (touche == Qt::Key_Down || touche == Qt::Key_Right || touche == Qt::Key_Up || touche == Qt::Key_Left) {
        const bool arriere = touche == Qt::Key_Up || touche == Qt::Key_Left;
        entree(arriere ? 2 : 0)->setFocus(arriere ? Qt::BacktabFocusReason : Qt::TabFocusReason);
        evenement->accept();
        return;
    }
    QDialog::keyPressEvent(evenement);
}

} // namespace velorine
