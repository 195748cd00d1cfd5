#pragma once
// Message boxes and the system beep.

#include <QString>

namespace velorine {

enum class Icone { Erreur, Information, Question };

class Dialogues {
public:
    virtual ~Dialogues() = default;
    // A modal message box with one "OK" button; returns when it is closed.
    virtual void message(Icone icone, const QString& titre, const QString& texte) = 0;
    // A modal question with "Oui" and "Non"; true for "Oui".
    virtual bool question(const QString& titre, const QString& texte) = 0;
    virtual void bip() = 0;
};

} // namespace velorine
