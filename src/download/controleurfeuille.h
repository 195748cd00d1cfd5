#pragma once
// The download window's sequences, without its widgets: its load, the
// activation that runs the three steps, "Annuler", a close from the title
// bar, the unload and the chooser's entry 2. The window feuilleFTP, the
// unattended run and the tests all drive this one class; each gives it a
// view (VueFeuille) for what shows on screen and the three steps (Etapes)
// to run.

#include "base/echec.h"
#include "download/etapes.h"
#include "platform/services.h"
#include "records/etat.h"

#include <QString>
#include <QStringList>

namespace velorine {

// What the download window shows: the list box List1, the file counter
// Label1, the status line Labet and the bar of the current file. A window
// without widgets keeps List1 as a list of texts and shows nothing.
class VueFeuille {
public:
    virtual ~VueFeuille() = default;

    virtual QStringList List1() const { return list1_; }
    virtual void viderList1() { list1_.clear(); }
    virtual void ajouterList1(const QString& entree) { list1_.append(entree); }
    virtual void Label1(const QString& texte) { (void)texte; }
    virtual void Labet(const QString& texte) { (void)texte; }
    virtual void progression(long long recus, long long total)
    {
        (void)recus;
        (void)total;
    }
    virtual void finprogression() {}

    // A freshly loaded window shows its design again.
    virtual void recharger() { list1_.clear(); }
    // The window is unloaded: it leaves the screen.
    virtual void cacher() {}

private:
    QStringList list1_;
};

class ControleurFeuille : public HoteEtapes {
public:
    ControleurFeuille(Etat& etat, Services& services, Etapes& etapes, VueFeuille& vue);

    // Load: the paths, the update-list address and the current level are
    // read. A failure is reported once and the window unloads; returns
    // false then.
    bool charger();

    // Activation, once per load: the three steps cartesnet, dresseliste and
    // tesparti, in this order and each of them whatever the previous one
    // did.
    void activer();

    // "Annuler": abandons the update at any moment and unloads the window.
    void annuler();

    // A close from the title bar, or the end of a run with no one to close
    // the window: while a step runs the update is abandoned as by "Annuler"
    // (without the beep), so that no step goes on with the window gone; then
    // the window unloads.
    void fermer();

    bool charge() const { return charge_; }

    // What the steps see of the window.
    QStringList List1() const override { return vue_.List1(); }
    void viderList1() override { vue_.viderList1(); }
    void ajouterList1(const QString& entree) override { vue_.ajouterList1(entree); }
    void Label1(const QString& texte) override { vue_.Label1(texte); }
    void couper() override;
    // Unload: the hang-up question (couper, as the window is about to
    // close), then the list file goes (as it closes), then the window leaves
    // the screen. Only the first call of a load does anything.
    void decharger() override;
    [[noreturn]] void choixannuler() override;
    void etattransfert(EtatTransfert etat) override;
    void progression(long long recus, long long total) override { vue_.progression(recus, total); }
    void finprogression() override { vue_.finprogression(); }

private:
    Etat& etat_;
    Services& services_;
    Etapes& etapes_;
    VueFeuille& vue_;

    bool charge_ = false;       // loaded: from the start of the load to the end of the unload
    bool dechargement_ = false; // the unload has begun
    bool activee_ = false;      // the steps have been started since the load
    bool etapesencours_ = false;
};

} // namespace velorine
