#pragma once
// The runs that only read the update list (the check, a room's mirror): the
// list fetched and loaded by the update run's first two steps, into a folder
// of the caller's own, without any window.

#include "download/etapes.h"

#include <QStringList>
#include <exception>
#include <optional>

namespace velorine {

// The download window with nothing on screen: its list box is a list of
// texts, and it has nothing to hang up, delete or close.
class HoteListe : public HoteEtapes {
public:
    QStringList List1() const override { return list1_; }
    void viderList1() override { list1_.clear(); }
    void ajouterList1(const QString& entree) override { list1_.append(entree); }
    void Label1(const QString&) override {}
    void couper() override {}
    void decharger() override {}
    // Only the update run hands control back to the product; these runs
    // never reach it.
    [[noreturn]] void choixannuler() override { std::terminate(); }

private:
    QStringList list1_;
};

// Fetches the update list from etat.adresseliste into dossier and loads it,
// as cartesnet and dresseliste do. From here on dossier stands for the
// product folder, so that every write of the steps stays inside it. Returns
// the list's entries; nothing after a failure, whose message has been shown
// (an empty list: "Erreur lors de l'ouverture du fichier").
std::optional<QStringList> lireliste(Etat& etat, Services& services, const QString& dossier);

} // namespace velorine
