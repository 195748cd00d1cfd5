#pragma once
// The download window feuilleFTP: hosts the automatic update by download.
//
// Showing it (montrer, the chooser's entry 0) loads it: the paths, the
// update-list address and the current level are read; a failure there is
// reported once and the window unloads without ever being visible. Loaded,
// it is shown modally, and the first time it is on screen it runs the three
// steps cartesnet, dresseliste and tesparti, in this order and each of them
// whatever the previous one did. Those steps keep the event loop running, so
// "Annuler", the transfer's state changes and a close from the title bar are
// handled in the middle of a step.
//
// Unloading (decharger) always offers the hang-up (couper, as the window is
// about to close) and deletes the list file (as it closes), then hides the
// window; the modal show returns once the handler that runs the steps has
// unwound. The object itself lives on, owned by its parent, and is loaded
// afresh on the next show.
//
// Those sequences are the download controller's (ControleurFeuille); the
// window is its view, and hands it its events.

#include "download/controleurfeuille.h"
#include "download/etapes.h"
#include "records/etat.h"
#include "platform/services.h"

#include <QDialog>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace velorine {

class feuilleFTP : public QDialog, public VueFeuille {
    Q_OBJECT

public:
    feuilleFTP(Etat& etat, Services& services, Etapes& etapes, QWidget* parent = nullptr);
    ~feuilleFTP() override;

    // Loads the window and, when the load succeeded, shows it modally until
    // it is unloaded.
    void montrer();

    // The sequences of the window.
    ControleurFeuille& controleur() { return controleur_; }

    // What the window shows.
    QStringList List1() const override;
    void viderList1() override;
    void ajouterList1(const QString& entree) override;
    void Label1(const QString& texte) override;
    void Labet(const QString& texte) override;
    void progression(long long recus, long long total) override;
    void finprogression() override;
    void recharger() override;
    void cacher() override;

    // The status line follows the transfer's state changes while the window
    // is loaded.
    void Inet1_StateChanged(EtatTransfert etat);

    // "Annuler": abandons the update at any moment.
    void Command2_Click();

protected:
    void showEvent(QShowEvent* evenement) override;
    void closeEvent(QCloseEvent* evenement) override;
    // Escape: nothing.
    void reject() override;

private:
    void Form_Activate();

    QLabel* image1_;
    QLabel* image2_;
    QLabel* labet_;
    QLabel* label1_;
    QPushButton* command2_;
    QListWidget* list1_;
    QProgressBar* progression_;

    ControleurFeuille controleur_;
};

} // namespace velorine
