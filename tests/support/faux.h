#pragma once
// Fakes of the platform services for tests. They record what happened.

#include "platform/coquille.h"
#include "platform/boucle.h"
#include "platform/dialogues.h"
#include "platform/numerotation.h"
#include "platform/services.h"
#include "platform/transfert.h"
#include "impression.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <ostream>
#include <functional>
#include <vector>

namespace velorine::test {

struct Boite {
    Icone icone;
    QString titre;
    QString texte;
    bool operator==(const Boite&) const = default;
};

inline void PrintTo(const Boite& b, std::ostream* sortie)
{
    const char* icones[] = {"Erreur", "Information", "Question"};
    *sortie << icones[static_cast<int>(b.icone)] << " \"" << b.titre.toStdString() << "\" \"" << b.texte.toStdString()
            << '"';
}

// Records every message box; answers questions from a script ("Non" when
// the script is empty).
class DialoguesScriptes : public Dialogues {
public:
    void message(Icone icone, const QString& titre, const QString& texte) override
    {
        boites.push_back({icone, titre, texte});
        if (apres)
            apres(boites.back());
    }
    bool question(const QString& titre, const QString& texte) override
    {
        boites.push_back({Icone::Question, titre, texte});
        bool oui = false;
        if (!reponses.empty()) {
            oui = reponses.front();
            reponses.pop_front();
        }
        return oui;
    }
    void bip() override { ++bips; }

    std::vector<Boite> boites;
    std::deque<bool> reponses;
    int bips = 0;
    std::function<void(const Boite&)> apres; // runs after each message box
};

// Records the product start and unwinds with FinProcessus instead of ending.
class CoquilleTest : public Coquille {
public:
    void demarrer(const QString& programme) noexcept override { demarres.append(programme); }
    [[noreturn]] void terminer() override
    {
        ++terminaisons;
        throw FinProcessus{};
    }
    QStringList demarres;
    int terminaisons = 0;
};

// Counts yields; can run an action at yield number n (from 1), such as a
// press of "Annuler".
class BoucleTest : public Boucle {
public:
    void ceder() override
    {
        ++cessions;
        if (action && cessions == declencheur)
            action();
    }
    int cessions = 0;
    int declencheur = 0;
    std::function<void()> action;
};

class NumerotationTest : public Numerotation {
public:
    bool connexionactive() override { return connectee; }
    void raccrocher() override
    {
        ++raccrochages;
        connectee = false;
    }
    bool connectee = false;
    int raccrochages = 0;
};

class TransfertAbsent : public Transfert {
public:
    void ouvrirurl(const QString& adresse, Provenance, Puits&, SuiviTransfert&) override
    {
        adresses.append(adresse);
        throw Echec("pas de réseau dans ce test");
    }
    void annuler() override { ++annulations; }
    QStringList adresses;
    int annulations = 0;
};

// All fakes together, with the Services that refers to them.
struct Faux {
    DialoguesScriptes dialogues;
    BoucleTest boucle;
    CoquilleTest coquille;
    TransfertAbsent transfertabsent;
    NumerotationTest numerotation;
    Transfert* transfert = &transfertabsent;
    Services services() { return Services{dialogues, boucle, coquille, *transfert, numerotation}; }
};

} // namespace velorine::test
