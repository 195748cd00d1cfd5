#pragma once
// The chooser typemaj: how to bring the product up to date. Three entries
// (the labels Label1, index 0 to 2): automatically by download, from an
// update file, or cancel. Its first show reads the product's current level
// into the version line at the bottom.
//
// The entries all have the objectName "Label1"; each carries its index in the
// dynamic property "index" (0, 1, 2), and entree(index) returns it. They are
// chosen with the pointer, or with the keyboard: Tab and the arrows move the
// focus among them, Enter or Space chooses the one that has it.

#include "records/etat.h"
#include "platform/services.h"

#include <QDialog>
#include <array>
#include <functional>

class QLabel;

namespace velorine {

class Etapes;
class feuilleFTP;

class typemaj : public QDialog {
    Q_OBJECT

public:
    // etapes: the three steps the download window runs.
    typemaj(Etat& etat, Services& services, Etapes& etapes, QWidget* parent = nullptr);
    ~typemaj() override;

    // Carries out choice index, after clearing abandon: 0 shows the download
    // window modally, 1 the picker (through montrerouvrir), 2 hands control
    // back to the product and never returns; any other index does nothing.
    // Also called directly, without the window on screen.
    void Label1_Click(int index);

    // Shows the update-file picker ouvrir modally; returns when it closes.
    std::function<void()> montrerouvrir;

    QLabel* entree(int index) const;

    // The download window, created on the first choice 0.
    feuilleFTP* feuille() const { return feuille_; }

protected:
    void showEvent(QShowEvent* evenement) override;
    bool eventFilter(QObject* objet, QEvent* evenement) override;
    void keyPressEvent(QKeyEvent* evenement) override;

private:
    void Form_Load();
    void Label1_MouseMove(int index);
    int indexde(QObject* objet) const;

    Etat& etat_;
    Services& services_;
    Etapes& etapes_;
    QLabel* label2_;
    std::array<QLabel*, 3> label1_{};
    QLabel* labeldeco_;
    feuilleFTP* feuille_ = nullptr;
    bool charge_ = false;
    int presse_ = -1; // the entry the button went down on
};

} // namespace velorine
