#pragma once
// The three steps of the automatic update, run in this order each time the
// download window becomes active:
//   cartesnet   fetches the update list from adresseliste into fichierliste;
//   dresseliste checks the list's marker and loads its entries into List1;
//   tesparti    fetches every newer level, records the new level and hands
//               control back to the product.
// Each step reports its own failures, sets abandon and unloads the window;
// dresseliste and tesparti do nothing when they find abandon set.
//
// The steps see the download window through HoteEtapes (the download
// controller, with the window's widgets or none), and the controller runs them
// through Etapes, so that tests pass stand-ins for them.

#include "records/etat.h"
#include "platform/services.h"

#include <QString>
#include <QStringList>

namespace velorine {

class HoteEtapes {
public:
    virtual ~HoteEtapes() = default;

    // List1: the entries of the update list, in file order.
    virtual QStringList List1() const = 0;
    virtual void viderList1() = 0;
    virtual void ajouterList1(const QString& entree) = 0;

    // Label1: the file counter ("Transfert du fichier 2 / 5").
    virtual void Label1(const QString& texte) = 0;

    // Offers to hang up an open dial-up connection.
    virtual void couper() = 0;

    // Unloads the window: its closing offers the hang-up (couper) and
    // deletes the list file. Returns to the caller, which then ends.
    virtual void decharger() = 0;

    // Carries out the chooser's entry 2: resets abandon and hands control back
    // to the product. Never returns.
    [[noreturn]] virtual void choixannuler() = 0;

    // The state of the fetch in progress, for the status line.
    virtual void etattransfert(EtatTransfert etat) { (void)etat; }

    // The bytes of the file being fetched, for a progress bar: recus so far
    // out of total (-1 when the size is unknown). The steps call it during
    // each of their fetches, and finprogression() when the fetch has ended,
    // whatever its outcome. A window without a bar shows nothing.
    virtual void progression(long long recus, long long total)
    {
        (void)recus;
        (void)total;
    }
    virtual void finprogression() {}
};

// Record 1 of an update list.
inline const QString marqueliste = QStringLiteral("MAJQZ7INTERNET");

// Where the addresses inside a list come from, given the list's own address
// (record 7 of PARANET.LST). A list on a local file (a file: address: a
// room's mirror on a shared folder) is as trusted as the settings that named
// it, so its addresses may name local files too; a list fetched over http,
// https or ftp may not.
Provenance provenanceliste(const QString& adresseliste);

void cartesnet(Etat& etat, Services& services, HoteEtapes& fenetre);
void dresseliste(Etat& etat, Services& services, HoteEtapes& fenetre);
void tesparti(Etat& etat, Services& services, HoteEtapes& fenetre);

// The three steps as the download window runs them.
class Etapes {
public:
    virtual ~Etapes() = default;
    virtual void cartesnet(Etat& etat, Services& services, HoteEtapes& fenetre) = 0;
    virtual void dresseliste(Etat& etat, Services& services, HoteEtapes& fenetre) = 0;
    virtual void tesparti(Etat& etat, Services& services, HoteEtapes& fenetre) = 0;
};

// The real steps, above.
class EtapesInternet : public Etapes {
public:
    void cartesnet(Etat& etat, Services& services, HoteEtapes& fenetre) override
    {
        velorine::cartesnet(etat, services, fenetre);
    }
    void dresseliste(Etat& etat, Services& services, HoteEtapes& fenetre) override
    {
        velorine::dresseliste(etat, services, fenetre);
    }
    void tesparti(Etat& etat, Services& services, HoteEtapes& fenetre) override
    {
        velorine::tesparti(etat, services, fenetre);
    }
};

} // namespace velorine
