#pragma once
// The three list controls of the picker: drives, folders and files.
//
// ListeLecteurs shows the drives and tells when the user picks one.
// ListeDossiers shows a folder: the folders from its drive's root down to it, then
// its sub-folders; a double click (or Enter, through its owner) opens the
// entry. ListeFichiers shows the files of a folder that match a pattern.
// Setting a folder that cannot be read (missing, drive not ready) throws
// Echec and leaves the control as it was.

#include "updatefile/lecteurs.h"

#include <QComboBox>
#include <QListWidget>
#include <QTreeWidget>

namespace velorine {

class ListeLecteurs : public QComboBox {
    Q_OBJECT
public:
    explicit ListeLecteurs(SourceLecteurs source, QWidget* parent = nullptr);

    // The drive shown; an empty Lecteur when there is none.
    Lecteur lecteur() const;

    // The drive that holds dossier; an empty Lecteur when none does.
    Lecteur lecteurde(const QString& dossier) const;

    // Shows the drive that holds dossier, without a change notice.
    void montrerlecteurde(const QString& dossier);

    // Reads the drives again before the list opens.
    void showPopup() override;

signals:
    // The user picked a drive, with the mouse or the keyboard.
    void change();

private:
    void relire();

    SourceLecteurs source_;
    QList<Lecteur> lecteurs_;
};

class ListeDossiers : public QTreeWidget {
    Q_OBJECT
public:
    explicit ListeDossiers(QWidget* parent = nullptr);

    // The folder shown, absolute, with "/" separators.
    const QString& dossier() const { return dossier_; }

    // Shows dossier, in the tree of the drive whose root is racine (by
    // default the drive shown so far), and sends change() when it differs
    // from the folder shown before. Throws Echec when dossier cannot be
    // read; the control is then as it was.
    void changerdossier(const QString& dossier, const QString& racine = QString());

    // The folder of the highlighted entry; the folder shown when none is.
    QString surligne() const;

signals:
    void change();
    // The Enter key was pressed in the list.
    void entree();

protected:
    void drawBranches(QPainter* peintre, const QRect& rectangle, const QModelIndex& index) const override;
    void keyPressEvent(QKeyEvent* evenement) override;

private:
    QString dossier_;
    QString racine_; // the root of the drive the tree starts at
};

class ListeFichiers : public QListWidget {
    Q_OBJECT
public:
    // Lists the files whose names match motif, without regard to case.
    explicit ListeFichiers(const QString& motif, QWidget* parent = nullptr);

    const QString& dossier() const { return dossier_; }

    // Lists the matching files of dossier; nothing is selected afterwards.
    // Throws Echec when dossier cannot be read.
    void changerdossier(const QString& dossier);

    // The name of the selected file; empty when none is.
    QString fichier() const;

signals:
    // A file was clicked, or the selection was moved with the keyboard.
    void clic();
    void doubleclic();

protected:
    void keyPressEvent(QKeyEvent* evenement) override;

private:
    QString motif_;
    QString dossier_;
};

} // namespace velorine
