#include "updatefile/listes.h"

#include "base/echec.h"
#include "platform/gardien.h"
#include "records/nomswindows.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStyle>
#include <dirent.h>

namespace velorine {
namespace {

constexpr int roledossier = Qt::UserRole;

// The absolute, clean form of a folder; throws Echec when it cannot be
// listed.
QString dossierlisible(const QString& dossier)
{
    const QString chemin = QDir::cleanPath(QDir(dossier).absolutePath());
    DIR* d = ::opendir(QFile::encodeName(chemin).constData());
    if (!d)
        throw Echec("dossier illisible : " + chemin.toStdString());
    ::closedir(d);
    return chemin;
}

} // namespace

// ---------------------------------------------------------------- drives

ListeLecteurs::ListeLecteurs(SourceLecteurs source, QWidget* parent) : QComboBox(parent), source_(std::move(source))
{
    relire();
    // Only a change of drive: picking the drive already shown changes nothing.
    connect(this, &QComboBox::currentIndexChanged, this, [this](int) { emit change(); });
}

Lecteur ListeLecteurs::lecteur() const
{
    const int i = currentIndex();
    return i >= 0 && i < lecteurs_.size() ? lecteurs_[i] : Lecteur{};
}

Lecteur ListeLecteurs::lecteurde(const QString& dossier) const
{
    const qsizetype i = indexlecteur(lecteurs_, dossier);
    return i >= 0 ? lecteurs_[i] : Lecteur{};
}

void ListeLecteurs::montrerlecteurde(const QString& dossier)
{
    const qsizetype i = indexlecteur(lecteurs_, dossier);
    if (i >= 0) {
        const QSignalBlocker silence(this);
        setCurrentIndex(static_cast<int>(i));
    }
}

void ListeLecteurs::showPopup()
{
    relire();
    QComboBox::showPopup();
}

void ListeLecteurs::relire()
{
    const QString avant = lecteur().racine;
    QList<Lecteur> lecteurs;
    gardien([&] { lecteurs = source_(); });
    if (lecteurs == lecteurs_)
        return;

    const QSignalBlocker silence(this);
    lecteurs_ = lecteurs;
    clear();
    int garde = -1;
    for (qsizetype i = 0; i < lecteurs_.size(); ++i) {
        addItem(lecteurs_[i].libelle);
        setItemData(static_cast<int>(i), lecteurs_[i].racine, Qt::ToolTipRole);
        if (lecteurs_[i].racine == avant)
            garde = static_cast<int>(i);
    }
    setCurrentIndex(garde);
}

// --------------------------------------------------------------- folders

ListeDossiers::ListeDossiers(QWidget* parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setUniformRowHeights(true);
    setIndentation(10);
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* entree, int) {
        gardien([&] { ignorer([&] { changerdossier(entree->data(0, roledossier).toString()); }); });
    });
}

void ListeDossiers::changerdossier(const QString& dossier, const QString& racine)
{
    const QString chemin = dossierlisible(dossier);
    // The tree starts at the drive's root: the one given, else the one shown
    // so far when it still holds the folder, else the root of the system.
    QString haut = racine.isEmpty() ? racine_ : QDir::cleanPath(racine);
    if (haut.isEmpty() || !contient(haut, chemin))
        haut = QStringLiteral("/");
    const QStringList sousdossiers =
        QDir(chemin).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);

    const QIcon ouvert = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon ferme = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const auto ajouter = [](QTreeWidgetItem* ligne, const QString& lien, const QIcon& icone) {
        ligne->setData(0, roledossier, lien);
        ligne->setIcon(0, icone);
        return ligne;
    };

    clear();
    // The folders from the drive's root down to the one shown, each inside
    // the last, then the sub-folders of the one shown.
    const QString nomhaut = haut == QStringLiteral("/") ? haut : QFileInfo(haut).fileName();
    QTreeWidgetItem* courant = ajouter(new QTreeWidgetItem(this, QStringList(nomhaut)), haut, ouvert);
    QString parcours = haut == QStringLiteral("/") ? QString() : haut;
    for (const QString& partie : chemin.mid(parcours.size()).split(u'/', Qt::SkipEmptyParts)) {
        parcours += u'/' + partie;
        courant = ajouter(new QTreeWidgetItem(courant, QStringList(partie)), parcours, ouvert);
    }
    for (const QString& nom : sousdossiers)
        ajouter(new QTreeWidgetItem(courant, QStringList(nom)), avecseparateur(chemin) + nom, ferme);
    expandAll();
    setCurrentItem(courant);
    scrollToItem(courant);

    const bool autre = chemin != dossier_;
    dossier_ = chemin;
    racine_ = haut;
    if (autre)
        emit change();
}

QString ListeDossiers::surligne() const
{
    const QTreeWidgetItem* entree = currentItem();
    return entree ? entree->data(0, roledossier).toString() : dossier_;
}

void ListeDossiers::drawBranches(QPainter*, const QRect&, const QModelIndex&) const
{
    // Every level is always open: no expand or collapse marks.
}

void ListeDossiers::keyPressEvent(QKeyEvent* evenement)
{
    if (evenement->key() == Qt::Key_Return || evenement->key() == Qt::Key_Enter) {
        evenement->accept();
        emit entree();
        return;
    }
    QTreeWidget::keyPressEvent(evenement);
}

// ----------------------------------------------------------------- files

ListeFichiers::ListeFichiers(const QString& motif, QWidget* parent) : QListWidget(parent), motif_(motif)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem*) { emit clic(); });
    connect(this, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem*) { emit doubleclic(); });
}

void ListeFichiers::changerdossier(const QString& dossier)
{
    const QString chemin = dossierlisible(dossier);
    // Without QDir::CaseSensitive the pattern ignores letter case. A
    // symbolic link is never opened as an update file: it is not offered.
    const QStringList fichiers = QDir(chemin).entryList(QStringList(motif_), QDir::Files | QDir::NoSymLinks,
                                                        QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
    const QSignalBlocker silence(this);
    clear();
    addItems(fichiers);
    setCurrentRow(-1);
    dossier_ = chemin;
}

QString ListeFichiers::fichier() const
{
    const QListWidgetItem* entree = currentItem();
    return entree && entree->isSelected() ? entree->text() : QString();
}

void ListeFichiers::keyPressEvent(QKeyEvent* evenement)
{
    const QListWidgetItem* avant = currentItem();
    const bool choisi = avant && avant->isSelected();
    // With no file chosen yet, a key that moves the selection chooses the
    // first file (End: the last), even when the list holds only one and the
    // focus has already put the cursor on it.
    const int touche = evenement->key();
    const bool deplace = touche == Qt::Key_Up || touche == Qt::Key_Down || touche == Qt::Key_Home
                         || touche == Qt::Key_End || touche == Qt::Key_PageUp || touche == Qt::Key_PageDown;
    if (deplace && !choisi && count() > 0) {
        evenement->accept();
        setCurrentRow(touche == Qt::Key_End ? count() - 1 : 0, QItemSelectionModel::ClearAndSelect);
        scrollToItem(currentItem());
        emit clic();
        return;
    }
    QListWidget::keyPressEvent(evenement);
    // Moving the selection with the keyboard counts as a click on the file.
    if (currentItem() && currentItem()->isSelected() && (currentItem() != avant || !choisi))
        emit clic();
}

} // namespace velorine
