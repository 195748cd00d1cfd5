#pragma once
// The update file dialog: the user finds an update file (*.maj) with the
// drive, folder and file lists, sees its path in the text box ficharge, and
// installs from it ("OUVRIR", or a double click on the file) or hands back
// to the product ("ANNULER"). Always shown modally; one instance serves the
// whole run.

#include "records/etat.h"
#include "updatefile/lecteurs.h"
#include "platform/services.h"

#include <QDialog>
#include <QHash>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace velorine {

class ListeDossiers;
class ListeFichiers;
class ListeLecteurs;

class ouvrir : public QDialog {
    Q_OBJECT
public:
    // The lists start on the process's current folder and its drive.
    // lecteurs gives the drives of the drive list (this machine's by default).
    ouvrir(Etat& etat, Services services, SourceLecteurs lecteurs = lecteursmachine, QWidget* parent = nullptr);

protected:
    // Escape does not close the dialog: only its close box does. Enter
    // presses no button unless that button has the focus.
    void keyPressEvent(QKeyEvent* evenement) override;

private:
    void Drive1_Change();
    void Dir1_Change();
    void Dir1_KeyPress(int touche);
    void File1_Click();
    void File1_DblClick();
    void Command1_Click();
    void Command2_Click();
    void installation();

    Etat& etat_;
    Services services_;
    // The current folder of each drive, by drive root, as the process's
    // current folder last left it there.
    QHash<QString, QString> courants_;

    QPushButton* command1_;
    QPushButton* command2_;
    ListeDossiers* dir1_;
    ListeFichiers* file1_;
    ListeLecteurs* drive1_;
    QLabel* label1_;
    QFrame* frame1_;
    QLineEdit* ficharge_;
    QLabel* label2_;
};

} // namespace velorine
