#pragma once
// Shared pieces of the windows: positions and sizes written in twips, and
// the fonts of the window designs.
//
// A twip is 1/1440 inch: 15 twips make one pixel on a 96 dpi screen. The
// windows keep the twip values of their designs in the code, so that
// Command1->setGeometry(twips(5640, 3000, 1815, 375)) reads like the design
// table. The conversion follows the logical dpi of the primary screen, as the
// point sizes of fonts do.

#include <QColor>
#include <QFont>
#include <QPushButton>
#include <QRect>

class QWidget;

namespace velorine {

// Pixels for a length in twips, rounded to the nearest pixel.
int twips(int longueur);

// The rectangle left, top, width, height given in twips, in pixels.
QRect twips(int gauche, int haut, int largeur, int hauteur);

// The colour of a control's text.
void couleurtexte(QWidget* controle, const QColor& couleur);

// An opaque background of that colour behind a window or a control.
void couleurfond(QWidget* controle, const QColor& couleur);

// "MS Sans Serif" of the designs: a sans-serif font of the same widths
// (Liberation Sans, else the desktop's sans-serif font) at the given point size.
QFont sansserif(double points, bool gras = false, bool italique = false);

// A window without title text. Qt names a window that has no title after the
// application, and the window manager would show "velorine-maj": on X11 the
// shown title is emptied again once the window exists. To be called from
// the window's show event.
void sanstitre(QWidget* fenetre);

// A window of fixed size: a title bar with a close box and nothing else. No
// minimise box (a minimised window leaves the pupil a bare backdrop and no
// task bar to bring it back), no maximise box, no help box. A window
// manager that shows those boxes all the same (openbox does) cannot lose
// the window either: minimised, it comes straight back. Called before the
// window is first shown.
void fenetrefixe(QWidget* fenetre);

// A button of the windows. No button of the windows is a default button:
// Enter in a text box or a list presses nothing. A button that has the
// focus is pressed by Space, and by Enter too. The button that has the
// focus shows its focus frame from the start, not only once the keyboard
// has moved the focus: the user sees what Space or Enter would press.
class Bouton : public QPushButton {
public:
    explicit Bouton(const QString& texte, QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* evenement) override;
    void paintEvent(QPaintEvent* evenement) override;
};

} // namespace velorine
