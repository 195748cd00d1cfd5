#pragma once
// A temporary folder of a run, in the system's temporary folder, named
// "velorine-maj-XXXXXX", for what the run reads and throws away (the list
// that --check and --mirror fetch). The run holds a lock on it while it
// lives, and removes it when it ends. A run killed before that leaves it: the
// next one that makes such a folder first removes those that runs since dead
// left behind.

#include <QString>
#include <QTemporaryDir>

namespace velorine {

// The name of such a folder: "velorine-maj-" and six letters or digits.
bool nomdossiertemporaire(const QString& nom);

// Removes, in dossier, the folders named as nomdossiertemporaire() says
// that belong to this user, are older than a minute and that no living run
// holds locked, with the files in them. No link is followed or removed, nor
// any other entry.
void nettoyerdossierstemporaires(const QString& dossier) noexcept;

class DossierTemporaire {
public:
    // Removes what killed runs left in the system's temporary folder, then
    // makes this run's folder and locks it.
    DossierTemporaire();
    ~DossierTemporaire();
    DossierTemporaire(const DossierTemporaire&) = delete;
    DossierTemporaire& operator=(const DossierTemporaire&) = delete;

    bool isValid() const { return dossier_.isValid() && verrou_ >= 0; }
    QString path() const { return dossier_.path(); }
    QString filePath(const QString& nom) const { return dossier_.filePath(nom); }

private:
    QTemporaryDir dossier_;
    int verrou_ = -1;
};

} // namespace velorine
