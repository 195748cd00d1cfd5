#pragma once
// The backdrop of the updater: a full-screen window with a vertical gradient
// from blue at the top to black at the bottom and the title of the update in
// white over a black shadow. Once on screen it opens the first dialog of the
// run as a modal window in front of it.

#include <QWidget>

class QDialog;
class QLabel;

namespace velorine {

// The blue of row y of a client area hauteur pixels high: 255 at the top,
// falling to 0 at row hauteur. Computed in single precision and rounded
// halves to even, then kept within 0 to 255; 0 for a height of 0.
int bleu(int y, double hauteur);

class MAJ : public QWidget {
    Q_OBJECT
public:
    explicit MAJ(QWidget* parent = nullptr);

    // Load: covers the screen, maximised, puts the shadow 3 pixels right of
    // and below the title, shows the window, then shows premiere modally and
    // returns when it closes. An update ends the process from within
    // premiere; when the user closes premiere instead, the backdrop stays
    // alone on screen.
    void charger(QDialog& premiere);

protected:
    // Draws the whole gradient, one line per row, on every repaint.
    void paintEvent(QPaintEvent* evenement) override;

private:
    QLabel* label1_;
    QLabel* label2_;
};

} // namespace velorine
