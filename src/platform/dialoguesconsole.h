#pragma once
// Message boxes for unattended runs: each becomes one line "TITLE: TEXT" on
// standard error, and the question is answered "Non".

#include "platform/dialogues.h"

#include <cstdio>

namespace velorine {

// The text with each control character (C0, DEL and C1) written as \xHH.
QString echappercontroles(const QString& texte);

class DialoguesConsole : public Dialogues {
public:
    explicit DialoguesConsole(std::FILE* sortie = stderr) : sortie_(sortie) {}
    void message(Icone icone, const QString& titre, const QString& texte) override;
    bool question(const QString& titre, const QString& texte) override;
    void bip() override {}

    // True once an error message has been shown: the run then exits with 1.
    bool erreurmontree() const { return erreur_; }

private:
    void ligne(const QString& titre, const QString& texte);
    std::FILE* sortie_;
    bool erreur_ = false;
};

} // namespace velorine
