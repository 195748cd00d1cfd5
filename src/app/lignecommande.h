#pragma once
// The command line of velorine-maj.

#include <QString>
#include <QStringList>
#include <optional>

namespace velorine {

struct Options {
    QString dossierproduit;    // --product-dir; the built-in one (or the executable's folder) otherwise
    bool sansfenetre = false;  // --unattended
    QString fichiermaj;        // --install FILE.maj
    bool choix = false;        // --chooser
    bool automatique = false;  // --auto
    bool verification = false; // --check
    QString miroir;            // --mirror DIR: the folder of a room's mirror
    QString adressebase;       // --base-url URL: where the room finds that folder
    int delai = 60;            // --timeout SECONDS: seconds without progress
    bool bavard = false;       // --verbose: one line on standard error per transfer
    int parallele = 4;         // --parallel N: fetches at once (1: one at a time)
    bool reparation = false;   // --repair-rights: the group's rights on the product
    bool aide = false;         // --help
    bool version = false;      // --version
};

// Reads the arguments (without the program name). On a usage error returns
// nothing and sets erreur to a French sentence.
std::optional<Options> lireoptions(const QStringList& arguments, QString& erreur);

// The help; dossierpardefaut is the built-in product folder (empty: the
// executable's folder).
QString texteaide(const QString& dossierpardefaut = QString());

} // namespace velorine
