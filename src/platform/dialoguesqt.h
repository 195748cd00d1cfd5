#pragma once
// The message boxes of the windowed updater: modal QMessageBox windows over
// the active window, with French button texts, and the system beep.

#include "platform/dialogues.h"

namespace velorine {

class DialoguesQt : public Dialogues {
public:
    DialoguesQt() = default;
    void message(Icone icone, const QString& titre, const QString& texte) override;
    bool question(const QString& titre, const QString& texte) override;
    void bip() override;
};

} // namespace velorine
